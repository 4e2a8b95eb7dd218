// Sound files as the player hands them to the audio output: a WAVE (RIFF)
// image walked chunk by chunk, converted to PCM when it holds another format,
// and descrambled when its name ends in "z".
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vashel {

// The key the bundled sounds are scrambled with.
inline constexpr std::string_view kSoundKey = "KESTRAN";

// Larger sound files are refused; real action sounds are a few hundred KB.
inline constexpr std::uint64_t kMaxSoundFileBytes = 64ull << 20;
// Converted data may be larger than its source (GSM 6.10 grows tenfold):
// conversion stops with a refusal past this many bytes of PCM.
inline constexpr std::size_t kMaxPcmBytes = 256u << 20;

// Integer PCM, as the audio output plays it.
struct PcmFormat {
  int channels = 0;
  int sampleRate = 0;      // frames per second
  int bitsPerSample = 0;   // 8 (unsigned) or 16 (signed little-endian)
  int blockAlign() const { return channels * bitsPerSample / 8; }
  long bytesPerSecond() const { return static_cast<long>(sampleRate) * blockAlign(); }
};

struct PcmSound {
  PcmFormat format;
  std::vector<char> data;  // whole frames only
};

// Transforms `data` in place with the keystream of `key` (at most 31
// characters count); the same call scrambles and descrambles.
void descrambleSound(std::span<char> data, std::string_view key);

// True when a sound of this file name holds scrambled data: its last
// character is "z" or "Z".
bool scrambledSoundName(std::string_view name);

// A WAVE image in memory to playable PCM. `name` only decides the
// descrambling. Refusals leave a short reason in `problem` (no file name).
std::optional<PcmSound> decodeSound(std::span<const char> image, std::string_view name,
                                    std::string& problem);

// The file `name` (a regular file of at most kMaxSoundFileBytes), decoded.
std::optional<PcmSound> loadSound(const std::string& name, std::string& problem);

// A plain WAVE image of the sound: RIFF header, a 16-byte "fmt " chunk of
// integer PCM and the "data" chunk.
std::vector<char> pcmWaveImage(const PcmSound& sound);

}  // namespace vashel
