// Loading the scene's sounds into their slots and the player's sound
// operations on them.
#include "sound/sound_table.h"

#include "platform/codepage.h"

namespace vashel {

AudioOutput::OpenResult SoundTable::initSound() {
  if (output_ == nullptr) return AudioOutput::OpenResult::NoDevice;
  return output_->open();
}

int SoundTable::loadAllSounds(const Scene& scene, std::FILE* log) {
  if (output_ == nullptr || !output_->ready()) return 0;
  int loaded = 0;
  for (const SoundEntry& entry : scene.sounds) {
    if (static_cast<unsigned>(entry.slot) >= static_cast<unsigned>(kSoundSlots) ||
        entry.fileName.empty()) {
      continue;
    }
    std::string problem;
    if (loadSound(entry.slot, entry.fileName, problem)) {
      ++loaded;
    } else if (log != nullptr) {
      std::fprintf(log, "sound %s: %s\n", convertToUtf8(kDataCodePage, entry.fileName).c_str(),
                   problem.c_str());
    }
  }
  return loaded;
}

bool SoundTable::loadSound(int slot, const std::string& name, std::string& problem) {
  if (slot < 0 || slot >= kSoundSlots) {
    problem = "no slot " + std::to_string(slot);
    return false;
  }
  slots_[slot] = {};
  if (output_ == nullptr || !output_->ready()) {
    problem = "no sound output";
    return false;
  }
  const auto sound = vashel::loadSound(name, problem);
  // The output is told even of a failure: it empties the slot.
  const AudioLayout layout = sound ? AudioLayout{sound->format.channels, sound->format.sampleRate,
                                                 sound->format.bitsPerSample}
                                   : AudioLayout{};
  const bool played = output_->load(slot, layout, sound ? std::span<const char>(sound->data)
                                                        : std::span<const char>());
  if (!sound) return false;
  if (!played) {
    problem = std::to_string(sound->format.channels) + " channels of " +
              std::to_string(sound->format.bitsPerSample) + "-bit samples at " +
              std::to_string(sound->format.sampleRate) + " Hz cannot be played";
    return false;
  }
  slots_[slot] = {true, sound->format, static_cast<long>(sound->data.size())};
  return true;
}

SoundTable::Slot* SoundTable::held(int slot) {
  if (slot < 0 || slot >= kSoundSlots || !slots_[slot].loaded) return nullptr;
  return &slots_[slot];
}

const SoundTable::Slot* SoundTable::held(int slot) const {
  if (slot < 0 || slot >= kSoundSlots || !slots_[slot].loaded) return nullptr;
  return &slots_[slot];
}

bool SoundTable::holdsBuffer(int slot) const { return held(slot) != nullptr; }

void SoundTable::start(int slot) {
  if (held(slot)) output_->play(slot, 0);
}

void SoundTable::stop(int slot) {
  if (held(slot)) output_->stop(slot, true);
}

void SoundTable::pause(int slot) {
  if (held(slot)) output_->stop(slot, false);
}

void SoundTable::seek(int slot, long byteOffset) {
  const Slot* s = held(slot);
  if (s == nullptr) return;
  if (byteOffset < 0) {
    output_->play(slot, -1);
    return;
  }
  // The offset counts from the sound's first byte; the output starts only at
  // a whole frame. Past the end the sound has already ended at this point.
  const long aligned = byteOffset - byteOffset % s->format.blockAlign();
  if (aligned >= s->size) {
    output_->stop(slot, true);
    return;
  }
  output_->play(slot, aligned);
}

long SoundTable::bytesPerSecond(int slot) const {
  const Slot* s = held(slot);
  return s ? s->format.bytesPerSecond() : 0;
}

}  // namespace vashel
