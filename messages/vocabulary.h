// The message.xml vocabulary (vashel, sequence, random, randomaction) and the
// message-text rules shared by both message sources.
#pragma once

#include <string>
#include <string_view>

#include "platform/random.h"

namespace vashel {

class XmlElement;

// One entry of a sequence's message list with its display time.
struct SequenceMessage {
  const XmlElement* element = nullptr;  // null: no further entry
  int displayMs = 10000;
};

// The entry at `index` of the sequence's list, a `random` group resolved to
// one of its members by one draw. A group without members yields no entry.
SequenceMessage nextMessageEntry(const XmlElement& sequence, std::size_t index,
                                 RandomSource& random);

// "HH" becomes the hour and "MM" the minute, each as two digits.
std::string expandTimePlaceholders(std::string_view text, int hour, int minute);

}  // namespace vashel
