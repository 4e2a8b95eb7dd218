// libFuzzer entry for the XML reader: the bytes are the document, parsed with
// the encoding retry, then listed as the tree dump does.
#include <cstddef>
#include <cstdint>
#include <string>

#include "xml/xml.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vashel::XmlDocument document;
  document.buffer().assign(reinterpret_cast<const char*>(data), size);
  vashel::XmlElement root;
  document.parse(&root);
  // The listing converts every text to UTF-8: it walks what the parse built.
  root.dumpText(vashel::XmlElement::DumpTexts::Utf8);
  return 0;
}
