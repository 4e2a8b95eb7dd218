// What the balloon is in the middle of: the sequence message list being
// stepped through and when the current message ends. The player owns this
// record; the balloon windows only show, lay out and hide what it decides.
#pragma once

#include <cstdint>

#include "messages/vocabulary.h"
#include "platform/random.h"

namespace vashel {

class XmlElement;

struct BalloonState {
  const XmlElement* currentSequence = nullptr;  // `sequence` element, not owned; null: no list
  int listIndex = 0;                            // its next entry
  std::uint32_t expiry = 0;  // when the current message ends, in Clock::nowMs (it wraps)
};

// The list of `sequence` is stepped from its first entry, and the current
// message counts as ended, so the next step shows that entry.
void startSequenceList(BalloonState& state, const XmlElement& sequence);

// Whether the current message ended before nowMs (unsigned, as the balloon
// timer compares).
bool messageExpired(const BalloonState& state, std::uint32_t nowMs);

// Takes the next entry of the current list and sets the expiry from its
// display time. A `random` group without members gives nothing and the list
// moves past it. When the list is used up (or none is set) it is dropped and
// the result has no element.
SequenceMessage takeNextEntry(BalloonState& state, std::uint32_t nowMs, RandomSource& random);

// A plain text message of `seconds` (0: an hour) starts at nowMs. Returns
// the seconds it stays.
int startTimedMessage(BalloonState& state, std::uint32_t nowMs, int seconds);

}  // namespace vashel
