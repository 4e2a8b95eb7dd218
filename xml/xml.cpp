// The element tree and the Expat-driven reader that fills it, with the
// encoding retry for documents that Expat cannot decode by itself.
#include "xml/xml.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/codepage.h"

namespace vashel {
namespace {

constexpr std::size_t kMaxNameBytes = 255;
constexpr std::size_t kMaxEncodingNameBytes = 256;
constexpr const char* kDashLine = "---------------------------------------\n";  // 39 dashes

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
  auto* context = static_cast<XmlDocument::ParseContext*>(userData);
  const std::string folded = foldName(name, kMaxNameBytes);
  if (context == nullptr || context->current == nullptr) return;
  auto element = std::make_unique<XmlElement>();
  element->setName(folded);
  element->setParent(context->current);
  XmlElement* added = context->current->addChild(std::move(element));
  context->current = added;
  for (const XML_Char** pair = attributes; pair != nullptr && pair[0] != nullptr; pair += 2) {
    added->addAttribute(pair[0], pair[1] != nullptr ? pair[1] : "");
  }
}

void XMLCALL onEndElement(void* userData, const XML_Char* /*name*/) {
  auto* context = static_cast<XmlDocument::ParseContext*>(userData);
  if (context != nullptr && context->current != nullptr) {
    context->current = context->current->parent();
  }
}

void XMLCALL onCharacterData(void* userData, const XML_Char* data, int length) {
  if (length <= 0) return;
  // Expat hands over each line break as a chunk of its own, so this keeps
  // indentation newlines (and lone spaces) out of the tree.
  if (length == 1 && (data[0] == '\n' || data[0] == ' ')) return;
  std::string text = convertUtf8ToShiftJis(std::string_view(data, static_cast<std::size_t>(length)));
  breakLiteralNewlines(text);
  auto* context = static_cast<XmlDocument::ParseContext*>(userData);
  if (context != nullptr && context->current != nullptr) context->current->appendText(text);
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

void setHandlers(XML_Parser parser, XmlDocument::ParseContext* context) {
  XML_SetUserData(parser, context);
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

}  // namespace

XmlElement::~XmlElement() {
  std::vector<std::unique_ptr<XmlElement>> pending = std::move(children_);
  while (!pending.empty()) {
    std::unique_ptr<XmlElement> element = std::move(pending.back());
    pending.pop_back();
    for (auto& child : element->children_) pending.push_back(std::move(child));
    element->children_.clear();
  }
}

XmlElement* XmlElement::addChild(std::unique_ptr<XmlElement> child) {
  if (child == nullptr) return nullptr;
  children_.push_back(std::move(child));
  return children_.back().get();
}

void XmlElement::addAttribute(std::string_view name, std::string_view value) {
  attributes_.push_back(XmlAttribute{std::string(name), std::string(value)});
}

XmlElement* XmlElement::findElement(std::string_view name) {
  if (name.data() == nullptr) return nullptr;
  // Pre-order with an explicit stack: children pushed in reverse.
  std::vector<XmlElement*> pending{this};
  while (!pending.empty()) {
    XmlElement* element = pending.back();
    pending.pop_back();
    if (element->name_ == name) return element;
    for (auto it = element->children_.rbegin(); it != element->children_.rend(); ++it) {
      pending.push_back(it->get());
    }
  }
  return nullptr;
}

const std::string* XmlElement::getAttribute(std::string_view name) const {
  for (const XmlAttribute& attribute : attributes_) {
    if (attribute.name == name) return &attribute.value;
  }
  return nullptr;
}

void XmlElement::appendOwnListing(std::string& out, DumpTexts texts) const {
  out += '[';
  out += name_;
  out += "]\n";
  for (const XmlAttribute& attribute : attributes_) {
    out += "  ";
    out += attribute.name;
    out += " = ";
    out += attribute.value;
    out += '\n';
  }
  if (!text_.empty()) {
    out += kDashLine;
    out += texts == DumpTexts::Utf8 ? convertToUtf8(kDataCodePage, text_) : text_;
    out += '\n';
    out += kDashLine;
  }
}

std::string XmlElement::dumpText(DumpTexts texts) const {
  std::string out;
  std::vector<const XmlElement*> pending{this};
  while (!pending.empty()) {
    const XmlElement* element = pending.back();
    pending.pop_back();
    element->appendOwnListing(out, texts);
    for (auto it = element->children_.rbegin(); it != element->children_.rend(); ++it) {
      pending.push_back(it->get());
    }
  }
  return out;
}

void XmlElement::dump(int /*depth*/) const {
  // The depth indents nothing, so the listing is the same as dumpText's; it is
  // written element by element so that a large tree is never held twice.
  std::vector<const XmlElement*> pending{this};
  std::string out;
  while (!pending.empty()) {
    const XmlElement* element = pending.back();
    pending.pop_back();
    out.clear();
    element->appendOwnListing(out, DumpTexts::AsStored);
    std::fwrite(out.data(), 1, out.size(), stdout);
    for (auto it = element->children_.rbegin(); it != element->children_.rend(); ++it) {
      pending.push_back(it->get());
    }
  }
  std::fflush(stdout);
}

int XmlDocument::parse(XmlElement* root) {
  outcome_ = XmlParseOutcome{};
  if (buffer_.empty() || root == nullptr) return 0;

  context_ = ParseContext{root};
  root->setName("root tag");
  const std::size_t rootChildrenBefore = root->children_.size();
  const std::size_t rootTextBefore = root->text_.size();

  XML_Parser parser = XML_ParserCreate(nullptr);
  if (parser == nullptr) {
    std::fprintf(stderr, "  *** Parse error at line %d:\n   (%d)%s\n", 0,
                 static_cast<int>(XML_ERROR_NO_MEMORY), XML_ErrorString(XML_ERROR_NO_MEMORY));
    outcome_.firstPass = XmlParseError{0, XML_ERROR_NO_MEMORY, XML_ErrorString(XML_ERROR_NO_MEMORY)};
    return 1;
  }
  int codePage = 0;  // stays 0 (the data's code page) unless a declaration was declined
  setHandlers(parser, &context_);
  XML_SetUnknownEncodingHandler(parser, onUnknownEncoding, &codePage);

  if (!parseWhole(parser, buffer_)) {
    const XmlParseError first = currentError(parser);
    std::fprintf(stderr, "  *** Parse error at line %d:\n   (%d)%s\n", first.line, first.code,
                 first.message.c_str());
    outcome_.firstPass = first;

    // Otherwise what the first pass built stays, as far as it got.
    if (failedOnEncoding(parser, buffer_)) {
      outcome_.retryCodePage = codePage;
      buffer_ = convertToUtf8(codePage, buffer_);

      // The retry reads the whole document again, so whatever the first pass
      // built before it failed (a document in the local code page fails at
      // its first non-UTF-8 byte) is dropped rather than read twice.
      root->children_.resize(rootChildrenBefore);
      root->text_.resize(rootTextBefore);
      context_.current = root;

      XML_ParserReset(parser, "UTF-8");
      XML_SetEncoding(parser, "UTF-8");
      setHandlers(parser, &context_);
      if (!parseWhole(parser, buffer_)) {
        const XmlParseError second = currentError(parser);
        std::fprintf(stderr, "Parse error at line %d:\n(%d)%s\n", second.line, second.code,
                     second.message.c_str());
        outcome_.secondPass = second;
      }
    }
  }

  XML_ParserFree(parser);
  context_.current = root;
  return 1;
}

}  // namespace vashel
