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

// Length of the UTF-8 sequence that starts with `lead`, 1 for a stray byte.
size_t utf8Length(unsigned char lead) {
  return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// Runs iconv over the whole input. An input character that cannot be
// converted is skipped (one byte, or a whole UTF-8 sequence when the input is
// UTF-8) and `replacement` is written in its place.
std::string convert(const char* from, const char* to, std::string_view in,
                    std::string_view replacement) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return {};
  const bool fromUtf8 = std::strcmp(from, "UTF-8") == 0;
  std::string out(in.size() * 2 + 16, '\0');
  char* inPtr = const_cast<char*>(in.data());
  size_t inLeft = in.size();
  size_t used = 0;
  for (;;) {
    char* outPtr = out.data() + used;
    size_t outLeft = out.size() - used;
    const size_t rc = inLeft > 0 ? iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft)
                                 : iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    const int error = rc == static_cast<size_t>(-1) ? errno : 0;
    used = static_cast<size_t>(outPtr - out.data());
    if (error == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    if (error == 0) {
      if (inLeft == 0) break;
      continue;
    }
    // EILSEQ, or EINVAL for a sequence cut short by the end of the input.
    size_t skip = fromUtf8 ? utf8Length(static_cast<unsigned char>(*inPtr)) : 1;
    if (skip > inLeft) skip = 1;
    inPtr += skip;
    inLeft -= skip;
    if (out.size() - used < replacement.size()) out.resize(out.size() * 2 + replacement.size());
    out.replace(used, replacement.size(), replacement);
    used += replacement.size();
  }
  out.resize(used);
  iconv_close(cd);
  return out;
}

}  // namespace

std::string convertToUtf8(int codePage, std::string_view bytes) {
  const char* name = iconvName(codePage);
  if (name == nullptr) return {};
  return convert(name, "UTF-8", untilNul(bytes), "\xEF\xBF\xBD");
}

std::string convertUtf8ToShiftJis(std::string_view bytes) {
  return convert("UTF-8", "CP932", untilNul(bytes), "?");
}

}  // namespace vashel
