// The 100 sound slots of the character: the scene's sounds loaded into the
// audio output, and the player's sound port over them.
#pragma once

#include <array>
#include <cstdio>
#include <string>

#include "anim/player.h"
#include "platform/audio_output.h"
#include "scene/model.h"
#include "sound/wave.h"

namespace vashel {

class SoundTable final : public SoundPort {
 public:
  // `output` outlives the table; null: no output, every sound silent.
  explicit SoundTable(AudioOutput* output) : output_(output) {}

  // Opens the output. Ready when sounds can be played; otherwise the program
  // stays silent (the shell tells the user about Unusable).
  AudioOutput::OpenResult initSound();

  // Loads every entry of the scene's sound list with a name and a slot of
  // 0..99 into its slot, in list order; returns how many loaded. Nothing
  // loads without a ready output. A sound that cannot be read or played
  // leaves its slot empty, with one line on `log` (null: silent).
  int loadAllSounds(const Scene& scene, std::FILE* log = stderr);

  // One file into one slot; false leaves the slot empty, the reason in
  // `problem`.
  bool loadSound(int slot, const std::string& name, std::string& problem);

  // SoundPort
  bool holdsBuffer(int slot) const override;
  void start(int slot) override;
  void stop(int slot) override;
  void pause(int slot) override;
  void seek(int slot, long byteOffset) override;
  long bytesPerSecond(int slot) const override;

 private:
  struct Slot {
    bool loaded = false;
    PcmFormat format;
    long size = 0;  // bytes of samples
  };
  Slot* held(int slot);
  const Slot* held(int slot) const;

  AudioOutput* output_;
  std::array<Slot, kSoundSlots> slots_{};
};

}  // namespace vashel
