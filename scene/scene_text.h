// The lexical layer of scene files: lines (with the scrambled variants),
// tokens and atof-style numbers, all read in place from the file's bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scene/loader.h"

namespace vashel {

// Longer runs are cut to this many bytes; the rest of the run is skipped.
inline constexpr std::size_t kMaxTokenLength = 127;

// The number at the start of `text` as atof reads decimal text: optional
// sign, digits, optional fraction and exponent; parsing stops at the first
// byte that does not fit, and no number gives 0. Correctly rounded. Hex
// floats, "inf" and "nan" are not decimal text and read as their decimal
// prefix (so "0x1p3" is 0 and "inf" is 0). Overflow gives ±infinity, as
// atof does.
double parseNumber(std::string_view text);

// Integer fields: truncation toward zero to 64 bits, then the low 32 bits.
// NaN and values beyond the 64-bit range give 0 (the pattern the hardware's
// out-of-range conversion leaves in the low half).
std::int32_t toInt32(double value);

// An integer field's token: toInt32(parseNumber(text)), with a fast path for
// plain digit runs.
std::int32_t parseInteger(std::string_view text);

// Splits one line (terminator excluded) into tokens. Runs inside double
// quotes, or while more '(' than ')' have been seen, keep their white space;
// the quotes and parentheses stay in the token. Spaces and tabs before the
// first token and after each token are skipped. A missing token is "".
class LineTokenizer {
 public:
  // `readableEnd`, when given, bounds the memory after the line that number
  // parsing may read ahead into (never taking it as part of the line).
  explicit LineTokenizer(std::string_view line, const char* readableEnd = nullptr);

  std::string_view next();
  // The same as parseNumber(next()) and parseInteger(next()), without first
  // finding the token's end.
  double nextNumber();
  std::int32_t nextInteger();
  // `count` numbers in a row, as nextNumber each.
  void nextNumbers(double* values, std::size_t count);

  // Whether a non-empty token follows. A token cannot start at white space
  // other than a blank, so such a byte ends the line's tokens.
  bool hasToken() const;

  // The next token read as a face corner (see readFaceCorner).
  bool nextFaceCorner(std::int64_t parts[3], std::string_view* corner);
  // The tokens ahead that are plain corners "12/12/12" (three runs of at
  // most nine digits), appended 0-based to the three lists; stops before
  // the first other token. Returns how many were read.
  std::size_t nextPlainCorners(std::vector<int>& vertex, std::vector<int>& texcoord,
                               std::vector<int>& normal);

  const char* readableEnd() const { return readable_; }

  // The unread rest of the line.
  std::string_view rest() const { return {pos_, static_cast<std::size_t>(end_ - pos_)}; }
  bool atEnd() const { return pos_ == end_; }

 private:
  void finishToken(const char* from);  // skips to the token's end, then the blanks after it

  const char* pos_;
  const char* end_;
  const char* readable_;
};

// The three parts of a face corner "v/t/n", each read as an integer field
// from the text after the preceding '/', made 0-based (so an empty part gives
// -1). False when the corner lacks two '/'. `readableEnd` as for
// LineTokenizer (or null).
bool readFaceCorner(std::string_view corner, const char* readableEnd, std::int64_t parts[3]);

// The number of LF bytes in `text`.
std::size_t countLineFeeds(std::span<const char> text);

// Whole lines of the commonest shapes, read straight from the file's bytes
// without finding the line's end first. Each starts at `p` (inside the line,
// after its key) and returns the byte after the line's LF; or null when the
// line has any other shape, and the caller reads it again through
// SceneLineReader and LineTokenizer, which give the same values for the
// shapes taken here. `end` is the end of the text.
//
// Exactly `count` plain decimal numbers (as parseNumber reads them), then LF.
const char* readNumbersLine(const char* p, const char* end, double* values, std::size_t count);
// An integer field, then plain decimal numbers up to LF (none or more),
// appended to `values`.
const char* readIntegerAndNumbersLine(const char* p, const char* end, std::int32_t* first,
                                      std::vector<double>& values);
// One to `capacity` plain face corners "12/12/12" (as
// LineTokenizer::nextPlainCorners reads them), then LF; the parts are stored
// 0-based in the three arrays and their number in `count`, and the largest
// part of each list as written (1-based, 0 when all are empty) in `largest`.
const char* readPlainCornersLine(const char* p, const char* end, int* vertex, int* texcoord,
                                 int* normal, std::size_t capacity, std::size_t* count,
                                 std::uint32_t largest[3]);

// Walks the file buffer line by line. A line ends at LF, CR LF, a lone CR;
// a 0xFF byte or the end of the buffer end the data instead.
class SceneLineReader {
 public:
  SceneLineReader(std::span<const char> text, SceneVariant variant);

  // Reads the next line and returns its terminator: 10 (LF) or 13 (CR); -1
  // when the data ended before a terminator (that text must not be handled).
  // In a `k` file a line beginning "FILE: " switches descrambling off and
  // sets fileMarker().
  int readSceneLine();

  // The line just read: descrambled, without its terminator, cut at a NUL
  // byte. Valid until the next call.
  std::string_view line() const { return line_; }
  bool fileMarker() const { return fileMarker_; }
  // The end of the memory that may be read after line(): the file buffer's
  // end, or the padded end of the descrambled copy.
  const char* readableEnd() const { return readableEnd_; }
  // The physical line number of the line just read (1-based; CR LF counts once).
  int lineNumber() const { return lineNumber_; }

  // A size hint for the lists: how many of the lines that follow, up to
  // `limit`, begin with `prefix` without a break. 0 for scrambled text.
  std::size_t countRun(std::string_view prefix, std::size_t limit) const;
  // Bytes after the line just read.
  std::size_t remainingBytes() const { return text_.size() - pos_; }

  // For reading a line in place: the next line's first byte, or null where
  // lines must go through readSceneLine (scrambled text, or none left).
  const char* peekLine() const {
    return scrambled_ || pos_ >= text_.size() ? nullptr : text_.data() + pos_;
  }
  const char* textEnd() const { return text_.data() + text_.size(); }
  // Moves past the line at peekLine(), read in place up to its LF; `next`
  // is the byte after that LF.
  void skipLine(const char* next) {
    const char* const start = text_.data() + pos_;
    fileMarker_ = false;
    line_ = std::string_view(start, static_cast<std::size_t>(next - 1 - start));
    readableEnd_ = text_.data() + text_.size();
    pos_ = static_cast<std::size_t>(next - text_.data());
    ++lineNumber_;
  }

 private:
  std::span<const char> text_;
  std::size_t pos_ = 0;
  bool scrambled_;
  bool kVariant_;
  bool fileMarker_ = false;
  int lineNumber_ = 0;
  std::string_view line_;
  const char* readableEnd_ = nullptr;
  std::vector<char> scratch_;  // descrambled copy, padded; reused so lines cost no allocation
};

}  // namespace vashel
