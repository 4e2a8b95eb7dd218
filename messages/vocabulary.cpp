// Taking entries from a sequence's message list, and the hour/minute
// placeholders of message texts.
#include "messages/vocabulary.h"

#include <climits>
#include <cstdio>
#include <cstdlib>

#include "platform/codepage.h"
#include "xml/xml.h"

namespace vashel {
namespace {

constexpr int kDefaultDisplayMs = 10000;
constexpr long long kMsPerFrameUnit = 100;  // `frame` counts tenths of a second

int displayMsOf(const XmlElement& entry) {
  const std::string* frame = entry.getAttribute("frame");
  if (frame == nullptr) return kDefaultDisplayMs;
  // Read as atoi reads it, but a value out of range is clamped rather than
  // left undefined (strtoll saturates).
  const long long value = std::strtoll(frame->c_str(), nullptr, 10);
  if (value > INT_MAX / kMsPerFrameUnit) return INT_MAX;
  if (value < INT_MIN / kMsPerFrameUnit) return INT_MIN;
  return static_cast<int>(value * kMsPerFrameUnit);
}

}  // namespace

SequenceMessage nextMessageEntry(const XmlElement& sequence, std::size_t index,
                                 RandomSource& random) {
  const XmlElement* entry = sequence.child(index);
  if (entry == nullptr) return {};
  if (entry->name() == "random") {
    const std::size_t count = entry->childCount();
    if (count == 0) return {};  // nothing to choose from; no draw is taken
    // The draw is non-negative for a real source; the cast keeps a faulty one in range.
    const auto draw = static_cast<unsigned int>(random.rand());
    entry = entry->child(draw % count);
  }
  return SequenceMessage{entry, displayMsOf(*entry)};
}

std::string expandTimePlaceholders(std::string_view text, int hour, int minute) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    // A double-byte character is copied whole: its second byte may be 'H' or 'M'.
    if (isShiftJisLeadByte(static_cast<unsigned char>(c)) && i + 1 < text.size()) {
      out.append(text.substr(i, 2));
      i += 2;
      continue;
    }
    if ((c == 'H' || c == 'M') && i + 1 < text.size() && text[i + 1] == c) {
      char digits[16];
      std::snprintf(digits, sizeof digits, "%02d", c == 'H' ? hour : minute);
      out += digits;
      i += 2;
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

}  // namespace vashel
