// One pass of Expat over a whole document with the caller's element handlers,
// and a second pass when the first failed on the document's encoding. The
// element tree and the feed reader both read their documents through it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vashel {

// One parser failure: line, Expat error code and its message text.
struct XmlParseError {
  int line = 0;
  int code = 0;
  std::string message;
};

// What a parse went through, for callers and tests; the same failures are
// printed on standard error.
struct XmlParseOutcome {
  std::optional<XmlParseError> firstPass;  // set when the first pass failed
  // Set when the first pass failed on the encoding and the buffer was read
  // again: the code page it was converted from (-1: an unknown name, none).
  std::optional<int> retryCodePage;
  std::optional<XmlParseError> secondPass;  // set when the retry failed too
};

// What a reader does with the parser's events. Names and attribute texts are
// exactly as the parser delivers them: UTF-8, case kept, references resolved.
class XmlHandlers {
 public:
  virtual ~XmlHandlers() = default;
  // `attributes` holds name/value pairs in document order, ended by a null name.
  virtual void startElement(const char* name, const char* const* attributes) = 0;
  virtual void endElement(const char* name) = 0;
  // One chunk of character data in UTF-8, never empty. The parser hands each
  // line break over as a chunk of its own.
  virtual void characterData(std::string_view chunk) = 0;
  // The document is about to be read again from its start, converted: drop
  // what the failed first pass built, so that nothing is read twice.
  virtual void restart() = 0;
};

// How the first failure is printed: the element tree sets it off, indented;
// the feed reader prints both failures alike.
enum class XmlFirstFailure { Indented, Plain };

// Parses `bytes` in one logical call. When that fails on the encoding (the
// declared one is refused or does not match the bytes, or the first byte that
// is not ASCII is not UTF-8), `bytes` is replaced by its conversion to UTF-8
// from the code page the declaration named (shift-jis 932, euc-jp 51932; any
// other name converts to nothing; no declaration: the data's code page), the
// handlers restart, and the result is parsed. Any other failure keeps what
// the handlers were given. Each failure is printed as it happens.
XmlParseOutcome parseXmlWithEncodingRetry(std::string& bytes, XmlHandlers& handlers,
                                          XmlFirstFailure style = XmlFirstFailure::Indented);

// The readers' shared rules for what they keep:
// an element name folded to lower case (ASCII letters only), cut to 255 bytes;
std::string foldElementName(const char* name);
// the text a chunk of character data adds, in code page 932, with each literal
// backslash-n turned into a space and a line break; nothing for a chunk that is
// a lone line break or space, which keeps indentation line breaks out.
std::optional<std::string> characterDataText(std::string_view chunk);

}  // namespace vashel
