// The XML element tree and its reader (Expat). Element names are folded to
// lower case; character data is stored in code page 932; attribute names and
// values stay as the parser delivered them (UTF-8).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml/document_source.h"
#include "xml/reader.h"

namespace vashel {

struct XmlAttribute {
  std::string name;
  std::string value;
};

class XmlElement {
 public:
  XmlElement() = default;
  // Frees the whole subtree without recursing, so that deep documents are safe.
  virtual ~XmlElement();
  XmlElement(const XmlElement&) = delete;
  XmlElement& operator=(const XmlElement&) = delete;

  void setName(std::string_view name) { name_ = name; }
  const std::string& name() const { return name_; }

  // Takes ownership; the caller sets the parent.
  XmlElement* addChild(std::unique_ptr<XmlElement> child);
  void addAttribute(std::string_view name, std::string_view value);
  void appendText(std::string_view text) { text_ += text; }
  const std::string& text() const { return text_; }

  XmlElement* parent() const { return parent_; }
  void setParent(XmlElement* parent) { parent_ = parent; }

  std::size_t childCount() const { return children_.size(); }
  XmlElement* child(std::size_t index) const {
    return index < children_.size() ? children_[index].get() : nullptr;
  }
  const std::vector<XmlAttribute>& attributes() const { return attributes_; }

  // Depth-first, pre-order, starting with this element; exact byte comparison.
  XmlElement* findElement(std::string_view name);
  // The value of the first attribute with exactly this name, or null.
  const std::string* getAttribute(std::string_view name) const;

  // Debug listing on standard output (names and texts printed as stored).
  void dump(int depth) const;

  enum class DumpTexts { AsStored, Utf8 };
  // The listing that dump prints, as a string. With Utf8 the texts (code page
  // 932) are converted for a terminal; names and attributes are UTF-8 already.
  std::string dumpText(DumpTexts texts = DumpTexts::AsStored) const;

 private:
  friend class XmlDocument;  // its tree builder drops what a failed first pass built
  void appendOwnListing(std::string& out, DumpTexts texts) const;

  std::string name_;
  std::vector<std::unique_ptr<XmlElement>> children_;
  XmlElement* parent_ = nullptr;
  std::vector<XmlAttribute> attributes_;
  std::string text_;
};

// A DocumentSource that parses its buffer into an element tree.
class XmlDocument : public DocumentSource {
 public:
  // Parses the buffer into `root` (renamed "root tag"; the document element
  // becomes its child). Returns 0 when the buffer is empty or root is null,
  // else 1, also when the parse failed (failures are printed). A document
  // that fails on its encoding is converted to UTF-8 and read again from the
  // start; after any other failure the tree keeps what was read.
  int parse(XmlElement* root);

  // What the last parse went through.
  const XmlParseOutcome& lastOutcome() const { return outcome_; }

 private:
  class TreeBuilder;  // the parser's handlers that grow the tree
  XmlParseOutcome outcome_;
};

}  // namespace vashel
