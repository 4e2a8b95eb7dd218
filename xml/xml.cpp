// The element tree, and the parser's handlers that grow it from a document
// (the encoding retry around them is in reader.cpp).
#include "xml/xml.h"

#include <cstdio>
#include <optional>

#include "platform/codepage.h"

namespace vashel {
namespace {

constexpr const char* kDashLine = "---------------------------------------\n";  // 39 dashes

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

// Each element becomes a child of the element current when it started.
class XmlDocument::TreeBuilder final : public XmlHandlers {
 public:
  explicit TreeBuilder(XmlElement& root)
      : root_(root),
        current_(&root),
        rootChildrenBefore_(root.children_.size()),
        rootTextBefore_(root.text_.size()) {}

  void startElement(const char* name, const char* const* attributes) override {
    const std::string folded = foldElementName(name);
    if (current_ == nullptr) return;  // more end tags than start tags
    auto element = std::make_unique<XmlElement>();
    element->setName(folded);
    element->setParent(current_);
    XmlElement* added = current_->addChild(std::move(element));
    current_ = added;
    for (const char* const* pair = attributes; pair != nullptr && pair[0] != nullptr; pair += 2) {
      added->addAttribute(pair[0], pair[1] != nullptr ? pair[1] : "");
    }
  }

  void endElement(const char* /*name*/) override {
    if (current_ != nullptr) current_ = current_->parent();
  }

  void characterData(std::string_view chunk) override {
    std::optional<std::string> text = characterDataText(chunk);
    if (text && current_ != nullptr) current_->appendText(*text);
  }

  // A document in the local code page fails at its first non-UTF-8 byte, after
  // some elements were built; the retry reads it whole again.
  void restart() override {
    root_.children_.resize(rootChildrenBefore_);
    root_.text_.resize(rootTextBefore_);
    current_ = &root_;
  }

 private:
  XmlElement& root_;
  XmlElement* current_;
  std::size_t rootChildrenBefore_;
  std::size_t rootTextBefore_;
};

int XmlDocument::parse(XmlElement* root) {
  outcome_ = XmlParseOutcome{};
  if (buffer_.empty() || root == nullptr) return 0;
  root->setName("root tag");
  TreeBuilder builder(*root);
  outcome_ = parseXmlWithEncodingRetry(buffer_, builder, XmlFirstFailure::Indented);
  return 1;
}

}  // namespace vashel
