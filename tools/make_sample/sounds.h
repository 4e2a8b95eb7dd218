// The sample character's sounds, synthesised, and the WAVE encodings they
// are written in: 16-bit PCM, µ-law, and PCM with scrambled sample data.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vashel::sample {

struct SoundFile {
  std::string name;
  std::string bytes;
};

// Every sound the action table names.
std::vector<SoundFile> buildSounds();

std::string encodeWavePcm16(const std::vector<std::int16_t>& samples, int rate);
// G.711 µ-law, format tag 7, with a "fact" chunk.
std::string encodeWaveMuLaw(const std::vector<std::int16_t>& samples, int rate);
std::uint8_t muLawEncode(std::int16_t sample);

// The sample-data keystream of files whose names end in "z". Applying it
// twice restores the data.
inline constexpr std::string_view kSoundKey = "KESTRAN";
void scrambleSoundData(char* data, std::size_t size, std::string_view key);

}  // namespace vashel::sample
