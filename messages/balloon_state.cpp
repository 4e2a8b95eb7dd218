// Stepping a sequence's message list and timing the balloon's messages.
#include "messages/balloon_state.h"

#include "xml/xml.h"

namespace vashel {
namespace {

constexpr int kDefaultTextSeconds = 3600;

// The multimedia clock wraps; so does the expiry computed from it.
std::uint32_t endsAt(std::uint32_t nowMs, std::int64_t durationMs) {
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(nowMs) + durationMs);
}

}  // namespace

void startSequenceList(BalloonState& state, const XmlElement& sequence) {
  state.currentSequence = &sequence;
  state.listIndex = 0;
  state.expiry = 0;
}

bool messageExpired(const BalloonState& state, std::uint32_t nowMs) {
  return state.expiry < nowMs;
}

SequenceMessage takeNextEntry(BalloonState& state, std::uint32_t nowMs, RandomSource& random) {
  if (state.currentSequence != nullptr) {
    while (state.listIndex >= 0 &&
           static_cast<std::size_t>(state.listIndex) < state.currentSequence->childCount()) {
      const SequenceMessage entry = nextMessageEntry(
          *state.currentSequence, static_cast<std::size_t>(state.listIndex), random);
      ++state.listIndex;
      if (entry.element == nullptr) continue;
      state.expiry = endsAt(nowMs, entry.displayMs);
      return entry;
    }
  }
  state.currentSequence = nullptr;
  return {};
}

int startTimedMessage(BalloonState& state, std::uint32_t nowMs, int seconds) {
  if (seconds == 0) seconds = kDefaultTextSeconds;
  state.expiry = endsAt(nowMs, static_cast<std::int64_t>(seconds) * 1000);
  return seconds;
}

}  // namespace vashel
