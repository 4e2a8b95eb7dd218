// Lines, tokens and numbers of scene files, and the line scrambling of the
// `j` and `k` variants.
#include "scene/scene_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vashel {
namespace {

enum ByteClass : std::uint8_t { kPlain = 0, kBlank = 1, kSpace = 2, kGroup = 3 };

// kBlank: skipped between tokens; kSpace: ends a token but is not skipped;
// kGroup: quotes and parentheses, which may protect white space.
constexpr std::array<std::uint8_t, 256> makeByteClasses() {
  std::array<std::uint8_t, 256> classes{};
  classes[' '] = kBlank;
  classes['\t'] = kBlank;
  classes['\r'] = kSpace;
  classes['\n'] = kSpace;
  classes['\v'] = kSpace;
  classes['\f'] = kSpace;
  classes['"'] = kGroup;
  classes['('] = kGroup;
  classes[')'] = kGroup;
  return classes;
}
constexpr std::array<std::uint8_t, 256> kByteClass = makeByteClasses();

inline std::uint8_t byteClass(char c) { return kByteClass[static_cast<unsigned char>(c)]; }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Decides between overflow and underflow for a decimal text that from_chars
// found out of range: the decimal exponent of its leading digit.
double outOfRange(const char* first, const char* last) {
  long long exponent = 0;
  const char* e = std::find_if(first, last, [](char c) { return c == 'e' || c == 'E'; });
  if (e != last) {
    const char* p = e + 1;
    bool negative = false;
    if (p != last && (*p == '+' || *p == '-')) negative = *p++ == '-';
    for (; p != last && isDigit(*p); ++p) {
      exponent = std::min(exponent * 10 + (*p - '0'), 1'000'000'000LL);
    }
    if (negative) exponent = -exponent;
  }
  // Position of the first non-zero digit relative to the decimal point.
  long long integerDigits = 0;
  long long leadingFractionZeros = 0;
  bool seenPoint = false, seenNonZero = false;
  for (const char* p = first; p != e; ++p) {
    if (*p == '.') {
      seenPoint = true;
    } else if (!seenPoint) {
      if (seenNonZero || *p != '0') {
        seenNonZero = true;
        ++integerDigits;
      }
    } else if (!seenNonZero) {
      if (*p == '0') {
        ++leadingFractionZeros;
      } else {
        seenNonZero = true;
      }
    }
  }
  const long long magnitude =
      (integerDigits > 0 ? integerDigits : -leadingFractionZeros) + exponent;
  return magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

// Exact powers of ten as doubles.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr std::uint64_t kIntegerPowersOfTen[] = {1,      10,      100,      1000,     10000,
                                                 100000, 1000000, 10000000, 100000000};

// Eight digit values, the first in the lowest byte, as one number.
inline std::uint32_t eightDigits(std::uint64_t v) {
  v = v * 10 + (v >> 8);
  v = (((v & 0x000000FF000000FFULL) * (100 + (1000000ULL << 32))) +
       (((v >> 16) & 0x000000FF000000FFULL) * (1 + (10000ULL << 32)))) >>
      32;
  return static_cast<std::uint32_t>(v);
}

// Appends the run of digits at `p` (ending by `last`) to `mantissa`, eight
// at a time where eight bytes are readable. False when the run would take
// the mantissa past 19 digits. `readable` bounds what may be read; bytes
// past `last` are never taken as digits.
inline bool readDigitRun(const char*& p, const char* last, const char* readable,
                         std::uint64_t& mantissa, int& count) {
  if constexpr (std::endian::native == std::endian::little) {
    while (readable - p >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      // A borrow or carry only spreads past the first non-digit byte.
      const std::uint64_t x = word - 0x3030303030303030ULL;
      const std::uint64_t nonDigits = (x | (x + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
      std::size_t n = nonDigits ? static_cast<std::size_t>(std::countr_zero(nonDigits)) / 8 : 8;
      n = std::min(n, static_cast<std::size_t>(last - p));
      if (n == 0) return true;
      if (count + static_cast<int>(n) > 19) return false;
      mantissa = mantissa * kIntegerPowersOfTen[n] + eightDigits(x << (8 * (8 - n)));
      count += static_cast<int>(n);
      p += n;
      if (n < 8) return true;
    }
  }
  for (; p != last && isDigit(*p); ++p) {
    if (count >= 19) return false;
    mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    ++count;
  }
  return true;
}

// A plain face corner "12/12/12": three runs of at most nine digits joined
// by slashes and ending at `end` or, when blankEnds, at a blank. Advances p
// past it; values start at 0.
inline bool readPlainCornerParts(const char*& p, const char* end, const char* readable,
                                 std::uint64_t values[3]) {
  for (int i = 0; i < 3; ++i) {
    int count = 0;
    if (!readDigitRun(p, end, readable, values[i], count) || count > 9) return false;
    if (i < 2 && (p == end || *p++ != '/')) return false;
  }
  return true;
}

inline bool readPlainCorner(const char*& p, const char* end, const char* readable, bool blankEnds,
                            std::uint64_t values[3]) {
  if (!readPlainCornerParts(p, end, readable, values)) return false;
  return p == end || (blankEnds && byteClass(*p) == kBlank);
}

#if defined(__SSE2__)
// One bit per byte of the 16 at p, set for the ASCII digits.
inline unsigned digitMask(const char* p) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i digits = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('0' - 1)),
                                       _mm_cmplt_epi8(bytes, _mm_set1_epi8('9' + 1)));
  return static_cast<unsigned>(_mm_movemask_epi8(digits));
}
#endif

// The digit values in the low `n` bytes of `x` (0 to 7 of them) as a number.
inline std::uint64_t leadingDigits(std::uint64_t x, unsigned n) {
  // Two shifts, as one of 64 bits (n = 0) is not defined.
  return eightDigits((x << (63 - 8 * n)) << 1);
}

// The commonest exporter numbers, "12" or "-0.123456" after the sign: up to
// seven digits, then optionally a point and up to seven digits, and no
// exponent. Read with two eight-byte loads and no branch on the digit counts,
// whose changes from one number to the next the processor cannot foresee.
// Returns null for any other shape; needs 16 readable bytes at p.
[[gnu::always_inline]] inline const char* readShortDecimal(const char* p, double* value) {
  if constexpr (std::endian::native != std::endian::little) {
    return nullptr;
  } else {
    // Where the digit runs end: from one 16-byte mask where SSE2 is there,
    // so that finding the number's end waits on no digit arithmetic.
    unsigned k, n;
#if defined(__SSE2__)
    const unsigned nonDigits = ~digitMask(p) & 0xFFFFu;
    k = static_cast<unsigned>(std::countr_zero(nonDigits));
    n = static_cast<unsigned>(std::countr_zero(nonDigits & (nonDigits - 1))) - k - 1;
#else
    std::uint64_t probe;
    std::memcpy(&probe, p, 8);
    probe -= 0x3030303030303030ULL;
    const std::uint64_t ends = (probe | (probe + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
    k = ends ? static_cast<unsigned>(std::countr_zero(ends)) / 8 : 8;
    n = 0;
    if (k < 8 && p[k] == '.') {
      std::memcpy(&probe, p + k + 1, 8);
      probe -= 0x3030303030303030ULL;
      const std::uint64_t more = (probe | (probe + 0x7676767676767676ULL)) & 0x8080808080808080ULL;
      n = more ? static_cast<unsigned>(std::countr_zero(more)) / 8 : 8;
    }
#endif
    if (k == 0 || k > 7) return nullptr;
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    const std::uint64_t whole = word - 0x3030303030303030ULL;
    if (p[k] != '.') {
      if ((p[k] | 0x20) == 'e') return nullptr;
      *value = static_cast<double>(leadingDigits(whole, k));
      return p + k;
    }
    if (n > 7) return nullptr;
    const char* stop = p + k + 1 + n;
    if ((*stop | 0x20) == 'e') return nullptr;
    std::memcpy(&word, p + k + 1, 8);
    const std::uint64_t fraction = word - 0x3030303030303030ULL;
    std::uint64_t mantissa;
    if (k + n <= 8) {
      // Both runs side by side in one word ("12.345678" as 12345678), for
      // one conversion instead of two.
      mantissa =
          eightDigits(((whole << (64 - 8 * k)) >> (8 * n)) | ((fraction << (63 - 8 * n)) << 1));
    } else {
      mantissa = leadingDigits(whole, k) * kIntegerPowersOfTen[n] + leadingDigits(fraction, n);
    }
    // The same correctly rounded division as the general case below.
    *value = static_cast<double>(mantissa) / kPowersOfTen[n];
    return stop;
  }
}

// The common case of exporter numbers (at most 19 digits, small exponent),
// converted with one correctly rounded multiplication or division of exact
// operands. Returns false when the text needs the general conversion.
[[gnu::always_inline]] inline bool parseDecimalFast(const char* first, const char* last,
                                                    const char* readable, double* value,
                                                    const char** stop) {
  if (readable - first >= 16) {
    // Taken only when the number ends by `last`; otherwise `last` cuts it
    // and the general reading below honours the cut.
    const char* shortStop = readShortDecimal(first, value);
    if (shortStop && shortStop <= last) {
      *stop = shortStop;
      return true;
    }
  }
  const char* p = first;
  std::uint64_t mantissa = 0;
  int count = 0;
  // Integer parts are mostly a digit or two, read faster one by one; a
  // longer one goes on eight at a time.
  for (; count < 3 && p != last && isDigit(*p); ++p, ++count) {
    mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
  }
  if (count == 3 && !readDigitRun(p, last, readable, mantissa, count)) return false;
  const bool hadInteger = p != first;
  int exponent = 0;
  bool hadFraction = false;
  if (p != last && *p == '.') {
    const char* fraction = ++p;
    if (!readDigitRun(p, last, readable, mantissa, count)) return false;
    exponent = -static_cast<int>(p - fraction);
    hadFraction = p != fraction;
  }
  if (!hadInteger && !hadFraction) return false;
  if (p != last && (*p == 'e' || *p == 'E')) {
    const char* q = p + 1;
    bool negative = false;
    if (q != last && (*q == '+' || *q == '-')) negative = *q++ == '-';
    if (q != last && isDigit(*q)) {
      int e = 0;
      for (; q != last && isDigit(*q); ++q) {
        if (e > 10000) return false;
        e = e * 10 + (*q - '0');
      }
      exponent += negative ? -e : e;
      p = q;
    }
  }
  if (mantissa > (std::uint64_t{1} << 53) || exponent < -22 || exponent > 22) return false;
  const double m = static_cast<double>(mantissa);
  *value = exponent < 0 ? m / kPowersOfTen[-exponent] : m * kPowersOfTen[exponent];
  *stop = p;
  return true;
}

// atof over [first, last); returns where the number ended (first when there
// was none).
double parseNumberPrefix(const char* first, const char* last, const char* readable,
                         const char** stop) {
  const char* p = first;
  bool negative = false;
  if (p != last && (*p == '+' || *p == '-')) negative = *p++ == '-';
  *stop = first;
  if (p == last || !(isDigit(*p) || *p == '.')) return 0.0;
  double value = 0.0;
  if (parseDecimalFast(p, last, readable, &value, stop)) return negative ? -value : value;
  const auto [ptr, ec] = std::from_chars(p, last, value, std::chars_format::general);
  if (ec == std::errc::invalid_argument) return 0.0;  // a lone "."
  if (ec == std::errc::result_out_of_range) value = outOfRange(p, ptr);
  *stop = ptr;
  return negative ? -value : value;
}

// Plain digit runs short enough to be exact as doubles convert directly.
inline bool parseSmallInteger(const char* first, const char* last, const char* readable,
                              std::int64_t* value, const char** stop) {
  const char* p = first;
  bool negative = false;
  if (p != last && (*p == '+' || *p == '-')) negative = *p++ == '-';
  std::uint64_t v = 0;
  int count = 0;
  if (!readDigitRun(p, last, readable, v, count) || count == 0 || count > 15) return false;
  if (p != last && (*p == '.' || *p == 'e' || *p == 'E')) return false;
  *value = negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
  *stop = p;
  return true;
}

// Skips one token's bytes from `p`, honouring quotes and parentheses.
inline const char* tokenEnd(const char* p, const char* end) {
  bool quoted = false;
  int depth = 0;
  for (; p != end; ++p) {
    const std::uint8_t cls = byteClass(*p);
    if (cls == kPlain) continue;
    if (cls == kGroup) {
      if (*p == '"') {
        quoted = !quoted;
      } else {
        depth += *p == '(' ? 1 : -1;
      }
      continue;
    }
    if (!quoted && depth <= 0) break;
  }
  return p;
}

inline const char* skipBlanks(const char* p, const char* end) {
  while (p != end && (*p == ' ' || *p == '\t')) ++p;
  return p;
}

// Eight bytes at once: a mask with the top bit set in each byte equal to
// LF, CR, 0xFF or NUL, and in no other. Unused where SSE2 is there.
[[maybe_unused]] inline std::uint64_t specialBytes(std::uint64_t v) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  auto zeroBytes = [](std::uint64_t x) { return ~(((x & kLow7) + kLow7) | x | kLow7); };
  return zeroBytes(v ^ 0x0A0A0A0A0A0A0A0AULL) | zeroBytes(v ^ 0x0D0D0D0D0D0D0D0DULL) |
         zeroBytes(~v) | zeroBytes(v);
}

// The low 32 bits of a 64-bit integer, as a signed 32-bit pattern.
inline std::int32_t lowBits(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

inline bool isLineSpecial(char c) {
  return c == '\n' || c == '\r' || c == '\0' || static_cast<unsigned char>(c) == 0xFF;
}

// The first LF, CR, 0xFF or NUL byte at or after `pos`, or text.size().
std::size_t findSpecial(std::span<const char> text, std::size_t pos) {
  const char* data = text.data();
  const std::size_t size = text.size();
#if defined(__SSE2__)
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i carriageReturn = _mm_set1_epi8('\r');
  const __m128i allOnes = _mm_set1_epi8(-1);
  const __m128i zero = _mm_setzero_si128();
  while (pos + 16 <= size) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
    const __m128i hits = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(chunk, lineFeed), _mm_cmpeq_epi8(chunk, carriageReturn)),
        _mm_or_si128(_mm_cmpeq_epi8(chunk, allOnes), _mm_cmpeq_epi8(chunk, zero)));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    if (mask != 0) return pos + static_cast<std::size_t>(std::countr_zero(mask));
    pos += 16;
  }
#else
  if constexpr (std::endian::native == std::endian::little) {
    while (pos + 8 <= size) {
      std::uint64_t word;
      std::memcpy(&word, data + pos, 8);
      const std::uint64_t mask = specialBytes(word);
      if (mask != 0) return pos + static_cast<std::size_t>(std::countr_zero(mask)) / 8;
      pos += 8;
    }
  }
#endif
  while (pos < size && !isLineSpecial(data[pos])) ++pos;
  return pos;
}

// The first LF at or after `pos`, or `size`; inline, as lines are short
// and a library call per line costs more than the search.
inline std::size_t findLineFeed(const char* data, std::size_t size, std::size_t pos) {
#if defined(__SSE2__)
  const __m128i lineFeed = _mm_set1_epi8('\n');
  while (pos + 16 <= size) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + pos));
    const auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lineFeed)));
    if (mask != 0) return pos + static_cast<std::size_t>(std::countr_zero(mask));
    pos += 16;
  }
#endif
  while (pos < size && data[pos] != '\n') ++pos;
  return pos;
}

inline void swapHalves(std::span<char> line) {
  const std::size_t n = line.size();
  if (n <= 3) return;
  for (std::size_t i = 0; i < n / 2; i += 2) std::swap(line[i], line[n - 2 - i]);
}

}  // namespace

double parseNumber(std::string_view text) {
  const char* stop = nullptr;
  const char* end = text.data() + text.size();
  return parseNumberPrefix(text.data(), end, end, &stop);
}

std::int32_t toInt32(double value) {
  // The range check keeps the conversion defined; 2^63 itself is out of range.
  if (!(value > -9223372036854775808.0 && value < 9223372036854775808.0)) return 0;
  const auto wide = static_cast<std::int64_t>(value);
  return lowBits(wide);
}

std::int32_t parseInteger(std::string_view text) {
  const char* first = text.data();
  const char* last = first + text.size();
  std::int64_t value = 0;
  const char* stop = nullptr;
  if (parseSmallInteger(first, last, last, &value, &stop)) {
    return lowBits(value);
  }
  return toInt32(parseNumberPrefix(first, last, last, &stop));
}

bool readFaceCorner(std::string_view corner, const char* readableEnd, std::int64_t parts[3]) {
  const char* p = corner.data();
  const char* end = p + corner.size();
  const char* readable = readableEnd && readableEnd > end ? readableEnd : end;
  std::uint64_t values[3] = {0, 0, 0};
  if (readPlainCorner(p, end, readable, false, values)) {
    for (int i = 0; i < 3; ++i) parts[i] = static_cast<std::int64_t>(values[i]) - 1;
    return true;
  }
  const std::size_t first = corner.find('/');
  if (first == std::string_view::npos) return false;
  const std::size_t second = corner.find('/', first + 1);
  if (second == std::string_view::npos) return false;
  parts[0] = std::int64_t{parseInteger(corner)} - 1;
  parts[1] = std::int64_t{parseInteger(corner.substr(first + 1))} - 1;
  parts[2] = std::int64_t{parseInteger(corner.substr(second + 1))} - 1;
  return true;
}

SceneVariant sceneVariant(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  const std::size_t p = dot == std::string_view::npos ? 0 : dot;
  if (p + 3 >= fileName.size()) return SceneVariant::Plain;
  switch (fileName[p + 3]) {
    case 'j': return SceneVariant::J;
    case 'k': return SceneVariant::K;
    default: return SceneVariant::Plain;
  }
}

const char* variantName(SceneVariant variant) {
  switch (variant) {
    case SceneVariant::J: return "j";
    case SceneVariant::K: return "k";
    case SceneVariant::Plain: break;
  }
  return "plain";
}

void descrambleLine(std::span<char> line) {
  swapHalves(line);
  for (char& c : line) c = static_cast<char>(static_cast<unsigned char>(c) + 1);
}

void scrambleLine(std::span<char> line) {
  // The swaps pair disjoint positions, so they undo themselves; only the
  // byte shift needs inverting.
  for (char& c : line) c = static_cast<char>(static_cast<unsigned char>(c) - 1);
  swapHalves(line);
}

// ---------------------------------------------------------------------------

LineTokenizer::LineTokenizer(std::string_view line, const char* readableEnd)
    : pos_(line.data()),
      end_(line.data() + line.size()),
      readable_(readableEnd && readableEnd > end_ ? readableEnd : end_) {
  pos_ = skipBlanks(pos_, end_);
}

bool LineTokenizer::hasToken() const { return pos_ != end_ && byteClass(*pos_) != kSpace; }

void LineTokenizer::finishToken(const char* from) {
  pos_ = skipBlanks(tokenEnd(from, end_), end_);
}

std::string_view LineTokenizer::next() {
  const char* start = pos_;
  const char* stop = tokenEnd(start, end_);
  pos_ = skipBlanks(stop, end_);
  return {start, std::min(static_cast<std::size_t>(stop - start), kMaxTokenLength)};
}

double LineTokenizer::nextNumber() {
  const char* start = pos_;
  const char* limit = end_ - start > static_cast<std::ptrdiff_t>(kMaxTokenLength)
                          ? start + kMaxTokenLength
                          : end_;
  const char* stop = start;
  // The common decimal text is read here in line; anything else, from the
  // start again by the general reader.
  const char* p = start;
  bool negative = false;
  if (p != limit && (*p == '+' || *p == '-')) negative = *p++ == '-';
  double value = 0.0;
  if (p != limit && (isDigit(*p) || *p == '.') &&
      parseDecimalFast(p, limit, readable_, &value, &stop)) {
    if (negative) value = -value;
  } else {
    value = parseNumberPrefix(start, limit, readable_, &stop);
  }
  // A number contains no quote or parenthesis, so the token's scan resumes
  // where the number stopped with a fresh state.
  if (stop != end_ && byteClass(*stop) == kBlank) {
    pos_ = skipBlanks(stop, end_);
  } else {
    finishToken(stop);
  }
  return value;
}

void LineTokenizer::nextNumbers(double* values, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) values[i] = nextNumber();
}

std::size_t LineTokenizer::nextPlainCorners(std::vector<int>& vertex, std::vector<int>& texcoord,
                                            std::vector<int>& normal) {
  std::size_t read = 0;
  while (pos_ != end_) {
    const char* p = pos_;
    std::uint64_t values[3] = {0, 0, 0};
    if (!readPlainCorner(p, end_, readable_, true, values)) break;
    vertex.push_back(static_cast<int>(values[0]) - 1);
    texcoord.push_back(static_cast<int>(values[1]) - 1);
    normal.push_back(static_cast<int>(values[2]) - 1);
    pos_ = skipBlanks(p, end_);
    ++read;
  }
  return read;
}

bool LineTokenizer::nextFaceCorner(std::int64_t parts[3], std::string_view* corner) {
  // The common "12/12/12" followed by a blank or the end, read in place.
  const char* p = pos_;
  std::uint64_t values[3] = {0, 0, 0};
  if (readPlainCorner(p, end_, readable_, true, values)) {
    *corner = std::string_view(pos_, static_cast<std::size_t>(p - pos_));
    pos_ = skipBlanks(p, end_);
    for (int i = 0; i < 3; ++i) parts[i] = static_cast<std::int64_t>(values[i]) - 1;
    return true;
  }
  *corner = next();
  return readFaceCorner(*corner, readable_, parts);
}

std::int32_t LineTokenizer::nextInteger() {
  const char* start = pos_;
  const char* limit = end_ - start > static_cast<std::ptrdiff_t>(kMaxTokenLength)
                          ? start + kMaxTokenLength
                          : end_;
  std::int64_t small = 0;
  const char* stop = start;
  std::int32_t value;
  if (parseSmallInteger(start, limit, readable_, &small, &stop)) {
    value = lowBits(small);
  } else {
    value = toInt32(parseNumberPrefix(start, limit, readable_, &stop));
  }
  if (stop != end_ && byteClass(*stop) == kBlank) {
    pos_ = skipBlanks(stop, end_);
  } else {
    finishToken(stop);
  }
  return value;
}

// ---------------------------------------------------------------------------

namespace {

inline bool isBlank(char c) { return c == ' ' || c == '\t'; }

// One token as LineTokenizer::nextNumber reads it, when it is decimal text
// that the fast conversion takes and it ends at a blank or LF; returns where
// it stopped, or null. `end` is the text's end: the number stops before any
// line terminator, so the line's end need not be known.
[[gnu::always_inline]] inline const char* readPlainNumber(const char* p, const char* end,
                                                          double* value) {
  const char* const limit = end - p > static_cast<std::ptrdiff_t>(kMaxTokenLength)
                                ? p + kMaxTokenLength
                                : end;
  if (p == limit) return nullptr;
  // The sign without a branch: it changes from one number to the next.
  const bool negative = *p == '-';
  p += negative || *p == '+';
  if (p == limit || !(isDigit(*p) || *p == '.')) return nullptr;
  const char* stop = nullptr;
  if (!parseDecimalFast(p, limit, end, value, &stop)) return nullptr;
  // At the limit the token may go on past the cut, or the text ends.
  if (stop == limit || !(isBlank(*stop) || *stop == '\n')) return nullptr;
  *value = std::bit_cast<double>(std::bit_cast<std::uint64_t>(*value) ^
                                 (std::uint64_t{negative} << 63));
  return stop;
}

}  // namespace

// A plain face corner with runs of at most seven digits, ending at a blank
// or LF: the three runs found from one mask of the 32 bytes at p, then
// converted independently of each other. False, with p unchanged, for any
// other corner; needs 48 readable bytes at p.
[[gnu::always_inline]] inline bool readShortCorner(const char*& p, std::uint64_t values[3]) {
#if defined(__SSE2__)
  if constexpr (std::endian::native == std::endian::little) {
    unsigned ends = ~(digitMask(p) | (digitMask(p + 16) << 16));
    const auto first = static_cast<unsigned>(std::countr_zero(ends));
    ends &= ends - 1;
    const auto second = static_cast<unsigned>(std::countr_zero(ends));
    ends &= ends - 1;
    const auto third = static_cast<unsigned>(std::countr_zero(ends));
    // A corner longer than the window gives third = 32 and is refused here.
    if (first > 7 || second - first - 1 > 7 || third - second - 1 > 7 || p[first] != '/' ||
        p[second] != '/' || !(isBlank(p[third]) || p[third] == '\n')) {
      return false;
    }
    const unsigned starts[3] = {0, first + 1, second + 1};
    const unsigned lengths[3] = {first, second - first - 1, third - second - 1};
    for (int i = 0; i < 3; ++i) {
      std::uint64_t word;
      std::memcpy(&word, p + starts[i], 8);
      values[i] = leadingDigits(word - 0x3030303030303030ULL, lengths[i]);
    }
    p += third;
    return true;
  }
#endif
  (void)p;
  (void)values;
  return false;
}

const char* readNumbersLine(const char* p, const char* end, double* values, std::size_t count) {
  p = skipBlanks(p, end);
  for (std::size_t i = 0; i < count; ++i) {
    p = readPlainNumber(p, end, &values[i]);
    if (!p) return nullptr;
    p = skipBlanks(p, end);
  }
  return p != end && *p == '\n' ? p + 1 : nullptr;
}

const char* readIntegerAndNumbersLine(const char* p, const char* end, std::int32_t* first,
                                      std::vector<double>& values) {
  p = skipBlanks(p, end);
  const char* const limit = end - p > static_cast<std::ptrdiff_t>(kMaxTokenLength)
                                ? p + kMaxTokenLength
                                : end;
  std::int64_t integer = 0;
  const char* stop = nullptr;
  if (!parseSmallInteger(p, limit, end, &integer, &stop)) return nullptr;
  if (stop == limit || !(isBlank(*stop) || *stop == '\n')) return nullptr;
  *first = lowBits(integer);
  p = skipBlanks(stop, end);
  while (p != end && *p != '\n') {
    double value;
    p = readPlainNumber(p, end, &value);
    if (!p) return nullptr;
    values.push_back(value);
    p = skipBlanks(p, end);
  }
  return p != end ? p + 1 : nullptr;
}

const char* readPlainCornersLine(const char* p, const char* end, int* vertex, int* texcoord,
                                 int* normal, std::size_t capacity, std::size_t* count,
                                 std::uint32_t largest[3]) {
  p = skipBlanks(p, end);
  std::size_t n = 0;
  std::uint64_t most[3] = {0, 0, 0};
  while (p != end && *p != '\n') {
    if (n == capacity) return nullptr;
    std::uint64_t values[3] = {0, 0, 0};
    if (end - p >= 48 && readShortCorner(p, values)) {
      // Read whole; p is at the blank or LF after it.
    } else if (!readPlainCornerParts(p, end, end, values) || p == end ||
               !(isBlank(*p) || *p == '\n')) {
      return nullptr;
    }
    vertex[n] = static_cast<int>(values[0]) - 1;
    texcoord[n] = static_cast<int>(values[1]) - 1;
    normal[n] = static_cast<int>(values[2]) - 1;
    for (int i = 0; i < 3; ++i) most[i] = std::max(most[i], values[i]);
    ++n;
    p = skipBlanks(p, end);
  }
  if (p == end || n == 0) return nullptr;
  *count = n;
  for (int i = 0; i < 3; ++i) largest[i] = static_cast<std::uint32_t>(most[i]);
  return p + 1;
}

std::size_t countLineFeeds(std::span<const char> text) {
  std::size_t count = 0;
  std::size_t pos = 0;
#if defined(__SSE2__)
  // Each LF subtracts one (all bits set) from its byte's counter; the
  // counters are summed before any can pass 255.
  const __m128i lineFeed = _mm_set1_epi8('\n');
  const __m128i zero = _mm_setzero_si128();
  while (pos + 16 <= text.size()) {
    __m128i counters = zero;
    const std::size_t blocks = std::min<std::size_t>((text.size() - pos) / 16, 255);
    for (std::size_t b = 0; b < blocks; ++b, pos += 16) {
      const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + pos));
      counters = _mm_sub_epi8(counters, _mm_cmpeq_epi8(chunk, lineFeed));
    }
    const __m128i sums = _mm_sad_epu8(counters, zero);
    count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
             static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_unpackhi_epi64(sums, sums)));
  }
#else
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
  for (; pos + 8 <= text.size(); pos += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + pos, 8);
    const std::uint64_t x = word ^ 0x0A0A0A0A0A0A0A0AULL;
    // One bit per LF byte at bit 7 of its byte; summing them by one multiply.
    const std::uint64_t bits = (~(((x & kLow7) + kLow7) | x | kLow7)) >> 7;
    count += static_cast<std::size_t>((bits * 0x0101010101010101ULL) >> 56);
  }
#endif
  for (; pos < text.size(); ++pos) count += text[pos] == '\n';
  return count;
}

SceneLineReader::SceneLineReader(std::span<const char> text, SceneVariant variant)
    : text_(text),
      scrambled_(variant != SceneVariant::Plain),
      kVariant_(variant == SceneVariant::K) {}

std::size_t SceneLineReader::countRun(std::string_view prefix, std::size_t limit) const {
  if (scrambled_) return 0;
  const char* data = text_.data();
  const std::size_t size = text_.size();
  const std::size_t length = prefix.size();
  auto startsRun = [&](std::size_t at) {
    if (size - at < length) return false;
    for (std::size_t i = 0; i < length; ++i) {
      if (data[at + i] != prefix[i]) return false;
    }
    return true;
  };
  std::size_t count = 0;
  std::size_t pos = pos_;
  if (limit == 0 || !startsRun(pos)) return 0;
#if defined(__SSE2__)
  if constexpr (std::endian::native == std::endian::little) {
    // Sixty-four bytes at a time: every LF in them, and at each the next
    // line's first bytes compared at once with the prefix. No search per
    // line, whose varying length the processor cannot foresee.
    if (length <= 8 && prefix.find('\n') == std::string_view::npos) {
      std::uint64_t prefixWord = 0;
      std::memcpy(&prefixWord, prefix.data(), length);
      const std::uint64_t prefixMask = length == 8 ? ~0ULL : (1ULL << (8 * length)) - 1;
      const __m128i lineFeed = _mm_set1_epi8('\n');
      // The line at pos begins the run; `block` starts after its prefix.
      std::size_t block = pos + length;
      while (block + 64 + 8 <= size) {
        std::uint64_t feeds = 0;
        for (int i = 0; i < 4; ++i) {
          const __m128i chunk =
              _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + block + 16 * i));
          feeds |= static_cast<std::uint64_t>(static_cast<unsigned>(
                       _mm_movemask_epi8(_mm_cmpeq_epi8(chunk, lineFeed))))
                   << (16 * i);
        }
        for (; feeds != 0; feeds &= feeds - 1) {
          // A line of this run has ended: count it, then see whether the
          // next one goes on with it.
          if (++count >= limit) return count;
          const std::size_t next = block + static_cast<std::size_t>(std::countr_zero(feeds)) + 1;
          std::uint64_t head;
          std::memcpy(&head, data + next, 8);
          if (((head ^ prefixWord) & prefixMask) != 0) return count;
          // The prefix holds no LF, so the bits still set in `feeds` lie
          // after it.
        }
        block += 64;
      }
      // The rest line by line below, from the start of the line the blocks
      // reached (it begins the run and is not counted yet).
      pos = block;
      while (pos > pos_ && data[pos - 1] != '\n') --pos;
    }
  }
#endif
  while (count < limit && startsRun(pos)) {
    ++count;
    const std::size_t lineFeed = findLineFeed(data, size, pos + length);
    if (lineFeed >= size) break;
    pos = lineFeed + 1;
  }
  return count;
}

int SceneLineReader::readSceneLine() {
  fileMarker_ = false;
  const char* data = text_.data();
  const std::size_t size = text_.size();
  const std::size_t start = pos_;
  std::size_t end = findSpecial(text_, start);
  std::size_t contentEnd = end;
  // A NUL ends the line's content; the line itself goes on to its terminator.
  if (end < size && data[end] == '\0') {
    while (end < size && (data[end] == '\0' || !isLineSpecial(data[end]))) ++end;
  }
  if (contentEnd > end) contentEnd = end;

  int terminator;
  if (end >= size || static_cast<unsigned char>(data[end]) == 0xFF) {
    terminator = -1;
    pos_ = end >= size ? size : end + 1;
  } else {
    terminator = data[end];
    pos_ = end + 1;
    if (terminator == '\r' && pos_ < size && data[pos_] == '\n') ++pos_;
    ++lineNumber_;
  }
  const std::string_view stored(data + start, end - start);
  if (kVariant_ && stored.starts_with("FILE: ")) {
    scrambled_ = false;
    fileMarker_ = true;
    line_ = stored.substr(0, contentEnd - start);
    readableEnd_ = data + size;
    return terminator;
  }
  if (!scrambled_) {
    line_ = stored.substr(0, contentEnd - start);
    readableEnd_ = data + size;
    return terminator;
  }
  // Eight bytes of padding let number parsing read ahead.
  scratch_.assign(stored.begin(), stored.end());
  descrambleLine(scratch_);
  scratch_.resize(stored.size() + 8, '\0');
  // A stored 0xFF ends the data, so a descrambled line holds no NUL.
  line_ = std::string_view(scratch_.data(), stored.size());
  readableEnd_ = scratch_.data() + scratch_.size();
  return terminator;
}

}  // namespace vashel
