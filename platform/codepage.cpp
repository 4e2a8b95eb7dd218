// Code-page conversions over iconv.
#include "platform/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>

namespace vashel {
namespace {

const char* iconvName(int codePage) {
  switch (codePage) {
    case 0:
    case 932: return "CP932";
    case 51932: return "EUC-JP-MS";
    case 936: return "CP936";
    case 65001: return "UTF-8";
    default: return nullptr;
  }
}

std::string_view untilNul(std::string_view bytes) {
  const auto nul = bytes.find('\0');
  return nul == std::string_view::npos ? bytes : bytes.substr(0, nul);
}

// The well-formed UTF-8 character at the start of `bytes` (Unicode's table of
// well-formed byte sequences: no overlong forms, no surrogates, nothing past
// U+10FFFF, no 5- or 6-byte forms), or else its longest piece that could
// still begin one. `length` is at least 1 unless `bytes` is empty.
struct Utf8Step {
  std::size_t length = 0;
  bool wellFormed = false;
};

Utf8Step utf8Step(std::string_view bytes) {
  if (bytes.empty()) return {};
  const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return {1, true};
  std::size_t need = 0;                      // continuation bytes after the lead
  unsigned char low = 0x80, high = 0xBF;     // the range of the first of them
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2;
    if (lead == 0xE0) low = 0xA0;   // overlong below U+0800
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3;
    if (lead == 0xF0) low = 0x90;   // overlong below U+10000
    if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
  } else {
    return {1, false};  // a continuation byte, C0, C1 or F5..FF
  }
  for (std::size_t i = 1; i <= need; ++i) {
    if (i >= bytes.size()) return {i, false};
    const unsigned char b = byte(i);
    if (b < (i == 1 ? low : 0x80) || b > (i == 1 ? high : 0xBF)) return {i, false};
  }
  return {need + 1, true};
}

class Converter {
 public:
  Converter(iconv_t cd, std::size_t inputSize, std::string_view replacement)
      : cd_(cd), out_(inputSize * 2 + 16, '\0'), replacement_(replacement) {}

  // Runs iconv over `in`. A character that does not convert is skipped (one
  // byte, or a whole character when the input is well-formed UTF-8) and the
  // replacement is written in its place.
  void convert(std::string_view in, bool wellFormedUtf8) {
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    while (inLeft > 0) {
      char* outPtr = out_.data() + used_;
      std::size_t outLeft = out_.size() - used_;
      const std::size_t rc = iconv(cd_, &inPtr, &inLeft, &outPtr, &outLeft);
      const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
      used_ = static_cast<std::size_t>(outPtr - out_.data());
      if (error == E2BIG) {
        out_.resize(out_.size() * 2);
      } else if (error != 0) {
        // EILSEQ, or EINVAL for a character cut short by the end of the input.
        std::size_t skip = wellFormedUtf8 ? utf8Step(std::string_view(inPtr, inLeft)).length : 1;
        if (skip == 0 || skip > inLeft) skip = 1;
        inPtr += skip;
        inLeft -= skip;
        replace();
      }
    }
  }

  void replace() {
    if (out_.size() - used_ < replacement_.size()) out_.resize(out_.size() * 2 + replacement_.size());
    out_.replace(used_, replacement_.size(), replacement_);
    used_ += replacement_.size();
  }

  std::string finish() {
    for (;;) {
      char* outPtr = out_.data() + used_;
      std::size_t outLeft = out_.size() - used_;
      const std::size_t rc = iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
      used_ = static_cast<std::size_t>(outPtr - out_.data());
      if (rc != static_cast<std::size_t>(-1) || errno != E2BIG) break;
      out_.resize(out_.size() * 2);
    }
    out_.resize(used_);
    return std::move(out_);
  }

 private:
  iconv_t cd_;
  std::string out_;
  std::size_t used_ = 0;
  std::string_view replacement_;
};

// Converts `in` from one iconv encoding to another. UTF-8 input is checked
// here rather than by iconv, which passes some ill-formed forms through: each
// ill-formed piece becomes one replacement and reading resumes at the first
// byte that does not fit the piece, so one bad byte costs no good text.
std::string convert(const char* from, const char* to, std::string_view in,
                    std::string_view replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  Converter converter(cd, in.size(), replacement);
  if (std::strcmp(from, "UTF-8") != 0) {
    converter.convert(in, false);
  } else {
    std::size_t i = 0;
    while (i < in.size()) {
      std::size_t runEnd = i;
      Utf8Step step = utf8Step(in.substr(runEnd));
      while (step.wellFormed) {
        runEnd += step.length;
        step = utf8Step(in.substr(runEnd));
      }
      converter.convert(in.substr(i, runEnd - i), true);
      if (runEnd < in.size()) converter.replace();
      i = runEnd + step.length;
    }
  }
  std::string out = converter.finish();
  iconv_close(cd);
  return out;
}

}  // namespace

std::size_t wellFormedUtf8Length(std::string_view bytes) {
  const Utf8Step step = utf8Step(bytes);
  return step.wellFormed ? step.length : 0;
}

std::string convertToUtf8(int codePage, std::string_view bytes) {
  const char* name = iconvName(codePage);
  if (name == nullptr) return {};
  return convert(name, "UTF-8", untilNul(bytes), "\xEF\xBF\xBD");
}

std::string convertUtf8ToShiftJis(std::string_view bytes) {
  return convert("UTF-8", "CP932", untilNul(bytes), "?");
}

}  // namespace vashel
