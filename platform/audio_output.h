// The sound output as the sound table drives it: numbered slots, each holding
// one sound's PCM samples, played once from a byte offset, stopped, paused.
// Main thread only.
#pragma once

#include <span>

namespace vashel {

struct AudioLayout {
  int channels = 0;       // 1 or 2
  int sampleRate = 0;
  int bitsPerSample = 0;  // 8 (unsigned) or 16 (signed)
};

class AudioOutput {
 public:
  enum class OpenResult {
    Ready,
    NoDevice,  // no output device: stay silent
    Unusable,  // a device opened but cannot play (no mixing context)
  };

  virtual ~AudioOutput() = default;
  // Opens the default device; once only.
  virtual OpenResult open() = 0;
  virtual bool ready() const = 0;
  // Replaces what the slot holds with `samples` (whole frames); false leaves
  // the slot empty, as when the layout cannot be played.
  virtual bool load(int slot, const AudioLayout& layout, std::span<const char> samples) = 0;
  // Plays once from byteOffset (a frame boundary within the samples), or on
  // from where the slot stands when byteOffset is negative.
  virtual void play(int slot, long byteOffset) = 0;
  // Stops; with rewind the next play without offset starts at the beginning.
  virtual void stop(int slot, bool rewind) = 0;
};

}  // namespace vashel
