// OpenAL Soft behind AudioOutput. Sources are made once when the device
// opens; a slot's buffer is made when a sound is loaded into it and deleted
// when another replaces it.
#include "platform/audio_openal.h"

#include <AL/al.h>
#include <AL/alc.h>

#include <climits>

namespace vashel {

struct OpenAlOutput::Device {
  ALCdevice* device = nullptr;
  ALCcontext* context = nullptr;
  std::array<ALuint, kSlots> sources{};
  std::array<ALuint, kSlots> buffers{};  // 0: empty
  std::array<long, kSlots> sizes{};      // bytes in the buffer
};

namespace {

bool validSlot(int slot) { return slot >= 0 && slot < OpenAlOutput::kSlots; }

ALenum alFormat(const AudioLayout& layout) {
  if (layout.channels == 1 && layout.bitsPerSample == 8) return AL_FORMAT_MONO8;
  if (layout.channels == 1 && layout.bitsPerSample == 16) return AL_FORMAT_MONO16;
  if (layout.channels == 2 && layout.bitsPerSample == 8) return AL_FORMAT_STEREO8;
  if (layout.channels == 2 && layout.bitsPerSample == 16) return AL_FORMAT_STEREO16;
  return AL_NONE;
}

}  // namespace

OpenAlOutput::OpenAlOutput() : device_(std::make_unique<Device>()) {}

OpenAlOutput::~OpenAlOutput() {
  Device& d = *device_;
  if (d.context != nullptr) {
    alSourceStopv(kSlots, d.sources.data());
    alDeleteSources(kSlots, d.sources.data());
    for (ALuint& buffer : d.buffers) {
      if (buffer != 0) alDeleteBuffers(1, &buffer);
    }
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(d.context);
  }
  if (d.device != nullptr) alcCloseDevice(d.device);
}

AudioOutput::OpenResult OpenAlOutput::open() {
  Device& d = *device_;
  if (d.device != nullptr) return ready() ? OpenResult::Ready : OpenResult::Unusable;
  d.device = alcOpenDevice(nullptr);
  if (d.device == nullptr) return OpenResult::NoDevice;
  d.context = alcCreateContext(d.device, nullptr);
  if (d.context == nullptr) return OpenResult::Unusable;
  alGetError();
  if (!alcMakeContextCurrent(d.context)) {
    alcDestroyContext(d.context);
    d.context = nullptr;
    return OpenResult::Unusable;
  }
  alGenSources(kSlots, d.sources.data());
  if (alGetError() != AL_NO_ERROR) {
    alcMakeContextCurrent(nullptr);
    alcDestroyContext(d.context);
    d.context = nullptr;
    return OpenResult::Unusable;
  }
  // Sounds are heard as recorded: no distance, no panning.
  for (ALuint source : d.sources) alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
  return OpenResult::Ready;
}

bool OpenAlOutput::ready() const { return device_->context != nullptr; }

bool OpenAlOutput::load(int slot, const AudioLayout& layout, std::span<const char> samples) {
  Device& d = *device_;
  if (!ready() || !validSlot(slot)) return false;
  ALuint& buffer = d.buffers[slot];
  const ALuint source = d.sources[slot];
  if (buffer != 0) {
    alSourceStop(source);
    alSourcei(source, AL_BUFFER, 0);
    alDeleteBuffers(1, &buffer);
    buffer = 0;
    d.sizes[slot] = 0;
  }
  const ALenum format = alFormat(layout);
  if (format == AL_NONE || samples.empty() || samples.size() > INT_MAX || layout.sampleRate <= 0) {
    return false;
  }
  alGetError();
  ALuint made = 0;
  alGenBuffers(1, &made);
  if (alGetError() != AL_NO_ERROR) return false;
  alBufferData(made, format, samples.data(), static_cast<ALsizei>(samples.size()),
               layout.sampleRate);
  if (alGetError() == AL_NO_ERROR) alSourcei(source, AL_BUFFER, static_cast<ALint>(made));
  if (alGetError() != AL_NO_ERROR) {
    alDeleteBuffers(1, &made);
    return false;
  }
  buffer = made;
  d.sizes[slot] = static_cast<long>(samples.size());
  return true;
}

void OpenAlOutput::play(int slot, long byteOffset) {
  Device& d = *device_;
  if (!ready() || !validSlot(slot) || d.buffers[slot] == 0) return;
  const ALuint source = d.sources[slot];
  ALint state = AL_INITIAL;
  alGetSourcei(source, AL_SOURCE_STATE, &state);
  if (byteOffset < 0) {
    // Playing again would restart a playing source from its beginning.
    if (state != AL_PLAYING) alSourcePlay(source);
    return;
  }
  if (byteOffset >= d.sizes[slot]) return;
  // A playing source takes a new offset at once, but playing it again would
  // restart it from the beginning: hold it first, then play on from there.
  if (state == AL_PLAYING) alSourcePause(source);
  alSourcei(source, AL_BYTE_OFFSET, static_cast<ALint>(byteOffset));
  alSourcePlay(source);
}

void OpenAlOutput::stop(int slot, bool rewind) {
  Device& d = *device_;
  if (!ready() || !validSlot(slot) || d.buffers[slot] == 0) return;
  if (rewind) {
    alSourceRewind(d.sources[slot]);
  } else {
    alSourcePause(d.sources[slot]);
  }
}

}  // namespace vashel
