// Expat driven over a whole buffer for any set of handlers, with the encoding
// retry for documents that Expat cannot decode by itself.
#include "xml/reader.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstdio>

#include "platform/codepage.h"

namespace vashel {
namespace {

constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxEncodingNameBytes = 256;

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string foldName(const char* name, std::size_t maxBytes) {
  std::string folded;
  for (const char* p = name; *p != '\0' && folded.size() < maxBytes; ++p) {
    folded.push_back(asciiLower(*p));
  }
  return folded;
}

// A literal backslash-n becomes a space and a line break. The scan steps over
// double-byte characters whole: their second byte may be a backslash (0x5C).
void breakLiteralNewlines(std::string& text) {
  std::size_t i = 0;
  while (i + 1 < text.size()) {
    if (isShiftJisLeadByte(static_cast<unsigned char>(text[i]))) {
      i += 2;
    } else if (text[i] == '\\' && text[i + 1] == 'n') {
      text[i] = ' ';
      text[i + 1] = '\n';
      i += 2;
    } else {
      ++i;
    }
  }
}

void XMLCALL onStartElement(void* userData, const XML_Char* name, const XML_Char** attributes) {
  static_cast<XmlHandlers*>(userData)->startElement(name, attributes);
}

void XMLCALL onEndElement(void* userData, const XML_Char* name) {
  static_cast<XmlHandlers*>(userData)->endElement(name);
}

void XMLCALL onCharacterData(void* userData, const XML_Char* data, int length) {
  if (length <= 0) return;
  static_cast<XmlHandlers*>(userData)->characterData(
      std::string_view(data, static_cast<std::size_t>(length)));
}

// Records which code page the retry converts from. It declines every name
// (XML_STATUS_ERROR, the documented way) so that the first pass fails with
// "unknown encoding". Returning "handled" with an unfilled map fails the same
// way in Expat 2.5, but only because Expat happens to pre-fill the map with -1.
int XMLCALL onUnknownEncoding(void* handlerData, const XML_Char* name, XML_Encoding* /*info*/) {
  auto* codePage = static_cast<int*>(handlerData);
  const std::string folded = foldName(name, kMaxEncodingNameBytes);
  if (folded == "shift-jis") {
    *codePage = 932;
  } else if (folded == "euc-jp") {
    *codePage = 51932;
  } else {
    *codePage = -1;
  }
  return XML_STATUS_ERROR;
}

void setHandlers(XML_Parser parser, XmlHandlers& handlers) {
  XML_SetUserData(parser, &handlers);
  XML_SetElementHandler(parser, onStartElement, onEndElement);
  XML_SetCharacterDataHandler(parser, onCharacterData);
}

// One logical call over the whole buffer (split only past INT_MAX bytes, which
// XML_Parse cannot take at once).
bool parseWhole(XML_Parser parser, const std::string& bytes) {
  std::size_t offset = 0;
  do {
    const std::size_t piece = std::min<std::size_t>(bytes.size() - offset, INT_MAX);
    const bool last = offset + piece == bytes.size();
    if (XML_Parse(parser, bytes.data() + offset, static_cast<int>(piece), last ? 1 : 0) ==
        XML_STATUS_ERROR) {
      return false;
    }
    offset += piece;
  } while (offset < bytes.size());
  return true;
}

// Whether a failed first pass failed on the document's encoding, so that
// reading it again from another code page can help. That is so when Expat
// refused the declared encoding (unknown to it, or not matching the bytes), or
// when it stopped at the first byte that is not UTF-8 with only ASCII before it:
// a document in the local code page fails there. Any other failure, such as a
// stray '&' or a missing end tag, or a bad byte after text that was already
// read as UTF-8, is a mistake in a document whose encoding was right;
// re-reading its UTF-8 text as code page 932 would garble every character.
bool failedOnEncoding(XML_Parser parser, const std::string& bytes) {
  switch (XML_GetErrorCode(parser)) {
    case XML_ERROR_UNKNOWN_ENCODING:
    case XML_ERROR_INCORRECT_ENCODING:
      return true;
    case XML_ERROR_INVALID_TOKEN:
    case XML_ERROR_PARTIAL_CHAR: {
      const XML_Index at = XML_GetCurrentByteIndex(parser);
      if (at < 0 || static_cast<std::size_t>(at) >= bytes.size()) return false;
      const auto offset = static_cast<std::size_t>(at);
      const std::string_view view(bytes);
      if (wellFormedUtf8Length(view.substr(offset)) != 0) return false;
      return std::all_of(view.begin(), view.begin() + static_cast<std::ptrdiff_t>(offset),
                         [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    }
    default:
      return false;
  }
}

XmlParseError currentError(XML_Parser parser) {
  XmlParseError error;
  const XML_Size line = XML_GetCurrentLineNumber(parser);
  error.line = line > static_cast<XML_Size>(INT_MAX) ? INT_MAX : static_cast<int>(line);
  const XML_Error code = XML_GetErrorCode(parser);
  error.code = static_cast<int>(code);
  const XML_LChar* message = XML_ErrorString(code);
  error.message = message != nullptr ? message : "";
  return error;
}

void printFailure(const XmlParseError& error, bool indented) {
  if (indented) {
    std::fprintf(stderr, "  *** Parse error at line %d:\n   (%d)%s\n", error.line, error.code,
                 error.message.c_str());
  } else {
    std::fprintf(stderr, "Parse error at line %d:\n(%d)%s\n", error.line, error.code,
                 error.message.c_str());
  }
}

}  // namespace

std::string foldElementName(const char* name) { return foldName(name, kMaxNameBytes); }

std::optional<std::string> characterDataText(std::string_view chunk) {
  if (chunk.size() == 1 && (chunk[0] == '\n' || chunk[0] == ' ')) return std::nullopt;
  std::string text = convertUtf8ToShiftJis(chunk);
  breakLiteralNewlines(text);
  return text;
}

XmlParseOutcome parseXmlWithEncodingRetry(std::string& bytes, XmlHandlers& handlers,
                                          XmlFirstFailure style) {
  XmlParseOutcome outcome;
  const bool indentFirst = style == XmlFirstFailure::Indented;
  XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) {
    const XML_LChar* message = XML_ErrorString(XML_ERROR_NO_MEMORY);
    outcome.firstPass = XmlParseError{0, XML_ERROR_NO_MEMORY, message != nullptr ? message : ""};
    printFailure(*outcome.firstPass, indentFirst);
    return outcome;
  }
  int codePage = 0;  // stays 0 (the data's code page) unless a declaration was declined
  setHandlers(parser, handlers);
  XML_SetUnknownEncodingHandler(parser, onUnknownEncoding, &codePage);

  if (!parseWhole(parser, bytes)) {
    outcome.firstPass = currentError(parser);
    printFailure(*outcome.firstPass, indentFirst);

    // Otherwise the handlers keep what the first pass gave them.
    if (failedOnEncoding(parser, bytes)) {
      outcome.retryCodePage = codePage;
      bytes = convertToUtf8(codePage, bytes);
      handlers.restart();

      XML_ParserReset(parser, "UTF-8");
      XML_SetEncoding(parser, "UTF-8");
      setHandlers(parser, handlers);
      if (!parseWhole(parser, bytes)) {
        outcome.secondPass = currentError(parser);
        printFailure(*outcome.secondPass, false);
      }
    }
  }

  XML_ParserFree(parser);
  return outcome;
}

}  // namespace vashel
