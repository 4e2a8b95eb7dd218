// glj xml FILE: reads an XML document (message.xml and the like) the way the
// character does and lists the element tree, texts shown as UTF-8.
#include <cstdio>

#include "tools/glj/command.h"
#include "xml/xml.h"

namespace vashel::glj {
namespace {

int runXml(const std::vector<std::string>& args) {
  if (args.size() != 1) return fail("usage: glj xml FILE");
  XmlDocument document;
  document.clearBuffer();
  if (!document.loadFile(args[0])) return fail("cannot open " + args[0]);
  XmlElement root;
  if (document.parse(&root) == 0) return fail(args[0] + " is empty");
  const std::string listing = root.dumpText(XmlElement::DumpTexts::Utf8);
  std::fwrite(listing.data(), 1, listing.size(), stdout);
  // The parse errors are on standard error already. A document read only in
  // part fails the command: a mistake that is no encoding failure, or one
  // that even the retry could not read.
  const XmlParseOutcome& outcome = document.lastOutcome();
  const bool whole = !outcome.firstPass || (outcome.retryCodePage && !outcome.secondPass);
  return whole ? 0 : 1;
}

const GljCommand command("xml", "FILE", runXml);

}  // namespace
}  // namespace vashel::glj
