// Reading sound files: the RIFF chunk walk, conversion through libsndfile and
// the descrambling of the bundled sounds.
#include "sound/wave.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/regular_file.h"

namespace vashel {
namespace {

constexpr int kFormatPcm = 1;

std::uint32_t readU32(std::span<const char> bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

std::uint16_t readU16(std::span<const char> bytes, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
}

void putU32(std::vector<char>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>(value >> (8 * i) & 0xff));
}

void putU16(std::vector<char>& out, unsigned value) {
  out.push_back(static_cast<char>(value & 0xff));
  out.push_back(static_cast<char>(value >> 8 & 0xff));
}

void putId(std::vector<char>& out, const char* id) { out.insert(out.end(), id, id + 4); }

// What the chunk walk finds: the "fmt " chunk as written (16 or at least 18
// bytes) and the samples of "data".
struct WaveChunks {
  std::span<const char> format;
  std::span<const char> data;
};

std::optional<WaveChunks> walkChunks(std::span<const char> image, std::string& problem) {
  if (image.size() < 12 || std::memcmp(image.data(), "RIFF", 4) != 0 ||
      std::memcmp(image.data() + 8, "WAVE", 4) != 0) {
    problem = "not a RIFF WAVE file";
    return std::nullopt;
  }
  std::optional<std::span<const char>> format;
  std::optional<std::span<const char>> data;
  // The RIFF size counts chunk data only, not the 8-byte chunk headers, and no
  // pad byte follows an odd size: files written that way must keep loading.
  long long remaining = readU32(image, 4);
  std::size_t position = 12;
  while (remaining > 0) {
    // A header or a size that runs past the file ends the walk.
    if (image.size() - position < 8) break;
    const char* id = image.data() + position;
    const std::uint32_t size = readU32(image, position + 4);
    position += 8;
    if (size > image.size() - position) break;
    const auto body = image.subspan(position, size);
    if (std::memcmp(id, "fmt ", 4) == 0) {
      if (size != 16 && size < 18) {
        problem = "\"fmt \" chunk of " + std::to_string(size) + " bytes";
        return std::nullopt;
      }
      format = body;
    } else if (std::memcmp(id, "data", 4) == 0) {
      data = body;
      break;
    }
    remaining -= size;
    position += size;
  }
  if (!format || !data) {
    problem = !format ? "no complete \"fmt \" chunk" : "no complete \"data\" chunk";
    return std::nullopt;
  }
  return WaveChunks{*format, *data};
}

// libsndfile reads a WAVE image from memory through these.
struct MemoryImage {
  std::span<const char> bytes;
  sf_count_t position = 0;
};

sf_count_t memoryLength(void* user) {
  return static_cast<sf_count_t>(static_cast<MemoryImage*>(user)->bytes.size());
}

sf_count_t memorySeek(sf_count_t offset, int whence, void* user) {
  auto* image = static_cast<MemoryImage*>(user);
  const auto size = static_cast<sf_count_t>(image->bytes.size());
  sf_count_t base = 0;
  if (whence == SEEK_CUR) base = image->position;
  if (whence == SEEK_END) base = size;
  const sf_count_t target = base + offset;
  if (target < 0 || target > size) return -1;
  image->position = target;
  return target;
}

sf_count_t memoryRead(void* out, sf_count_t count, void* user) {
  auto* image = static_cast<MemoryImage*>(user);
  const auto size = static_cast<sf_count_t>(image->bytes.size());
  const sf_count_t n = std::clamp<sf_count_t>(size - image->position, 0, std::max<sf_count_t>(count, 0));
  if (n > 0) std::memcpy(out, image->bytes.data() + image->position, static_cast<std::size_t>(n));
  image->position += n;
  return n;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t memoryTell(void* user) { return static_cast<MemoryImage*>(user)->position; }

// A WAVE image of just the two chunks the walk found, so that the decoder
// reads exactly the format and samples the walk chose, whatever else the file
// holds and however its sizes were counted.
std::vector<char> canonicalImage(const WaveChunks& chunks) {
  std::vector<char> image;
  const std::size_t formatPad = chunks.format.size() % 2;
  const std::size_t dataPad = chunks.data.size() % 2;
  image.reserve(28 + chunks.format.size() + chunks.data.size() + 2);
  putId(image, "RIFF");
  putU32(image, static_cast<std::uint32_t>(4 + 8 + chunks.format.size() + formatPad + 8 +
                                           chunks.data.size() + dataPad));
  putId(image, "WAVE");
  putId(image, "fmt ");
  putU32(image, static_cast<std::uint32_t>(chunks.format.size()));
  image.insert(image.end(), chunks.format.begin(), chunks.format.end());
  if (formatPad) image.push_back(0);
  putId(image, "data");
  putU32(image, static_cast<std::uint32_t>(chunks.data.size()));
  image.insert(image.end(), chunks.data.begin(), chunks.data.end());
  if (dataPad) image.push_back(0);
  return image;
}

// Any other format to 16-bit PCM with the same channels and rate.
std::optional<PcmSound> convertToPcm16(const WaveChunks& chunks, std::string& problem) {
  const unsigned tag = readU16(chunks.format, 0);
  char tagText[16];
  std::snprintf(tagText, sizeof tagText, "0x%04x", tag);
  const std::vector<char> bytes = canonicalImage(chunks);
  MemoryImage image{bytes};
  SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
  SF_INFO info{};
  SNDFILE* file = sf_open_virtual(&io, SFM_READ, &info, &image);
  if (file == nullptr) {
    problem = std::string("format ") + tagText + " cannot be converted (" + sf_strerror(nullptr) + ")";
    return std::nullopt;
  }
  PcmSound sound;
  sound.format = {info.channels, info.samplerate, 16};
  if (info.channels <= 0 || info.channels > 8 || info.samplerate <= 0) {
    sf_close(file);
    problem = std::string("format ") + tagText + " with " + std::to_string(info.channels) +
              " channels at " + std::to_string(info.samplerate) + " Hz";
    return std::nullopt;
  }
  // Normalised doubles carry every integer source exactly (a 16-bit sample s
  // reads as s / 32768) and float sources as they are; both scale back alike.
  constexpr sf_count_t kChunkFrames = 4096;
  std::vector<double> block(static_cast<std::size_t>(kChunkFrames * info.channels));
  const std::size_t frameBytes = 2 * static_cast<std::size_t>(info.channels);
  for (;;) {
    const sf_count_t frames = sf_readf_double(file, block.data(), kChunkFrames);
    if (frames <= 0) break;
    const auto count = static_cast<std::size_t>(frames) * static_cast<std::size_t>(info.channels);
    if (sound.data.size() + count * 2 > kMaxPcmBytes / frameBytes * frameBytes) {
      sf_close(file);
      problem = "more than " + std::to_string(kMaxPcmBytes) + " bytes once converted";
      return std::nullopt;
    }
    for (std::size_t i = 0; i < count; ++i) {
      const double scaled = std::isfinite(block[i]) ? std::nearbyint(block[i] * 32768.0) : 0.0;
      const auto value = static_cast<std::int16_t>(std::clamp(scaled, -32768.0, 32767.0));
      sound.data.push_back(static_cast<char>(value & 0xff));
      sound.data.push_back(static_cast<char>(value >> 8 & 0xff));
    }
  }
  sf_close(file);
  return sound;
}

}  // namespace

bool scrambledSoundName(std::string_view name) {
  return !name.empty() && (name.back() == 'z' || name.back() == 'Z');
}

void descrambleSound(std::span<char> data, std::string_view key) {
  // The table interleaves the key with 37, 38, ... and is read as a
  // zero-terminated text, so at most 31 key characters take part.
  std::array<unsigned char, 64> table{};
  const std::size_t keyLength = std::min<std::size_t>(key.size(), 31);
  for (std::size_t i = 0; i < keyLength; ++i) {
    table[2 * i] = static_cast<unsigned char>(key[i]);
    table[2 * i + 1] = static_cast<unsigned char>(i + 37);
  }
  std::size_t length = 0;
  while (table[length] != 0) ++length;
  if (length == 0) length = 1;  // an empty key still gives the counter's stream
  std::size_t p = 0;
  unsigned c = 0;
  for (char& byte : data) {
    byte = static_cast<char>(static_cast<unsigned char>(byte) ^ ((table[p] + c) & 0xff));
    c = (c + 1) % 16;
    p = (p + 1) % length;
  }
}

std::optional<PcmSound> decodeSound(std::span<const char> image, std::string_view name,
                                    std::string& problem) {
  try {
    const auto chunks = walkChunks(image, problem);
    if (!chunks) return std::nullopt;
    const auto& format = chunks->format;
    const unsigned tag = readU16(format, 0);
    const int channels = readU16(format, 2);
    const int bits = readU16(format, 14);
    std::optional<PcmSound> sound;
    if (tag == kFormatPcm && (bits == 8 || bits == 16)) {
      const std::uint32_t rate = readU32(format, 4);
      const int blockAlign = readU16(format, 12);
      if (channels == 0 || rate == 0 || rate > 1'000'000 || blockAlign != channels * bits / 8) {
        problem = "PCM format with " + std::to_string(channels) + " channels, " +
                  std::to_string(rate) + " Hz, block align " + std::to_string(blockAlign);
        return std::nullopt;
      }
      sound.emplace();
      sound->format = {channels, static_cast<int>(rate), bits};
      // A partial frame at the end cannot be played.
      const std::size_t usable = chunks->data.size() - chunks->data.size() % blockAlign;
      sound->data.assign(chunks->data.begin(), chunks->data.begin() + static_cast<long>(usable));
    } else {
      sound = convertToPcm16(*chunks, problem);
      if (!sound) return std::nullopt;
    }
    if (sound->data.empty()) {
      problem = "no samples";
      return std::nullopt;
    }
    if (scrambledSoundName(name)) descrambleSound(sound->data, kSoundKey);
    return sound;
  } catch (const std::bad_alloc&) {
    problem = "out of memory";
    return std::nullopt;
  }
}

std::optional<PcmSound> loadSound(const std::string& name, std::string& problem) {
  std::vector<char> image;
  const FileStatus status = readRegularFile(name, kMaxSoundFileBytes, image);
  if (status != FileStatus::Ok) {
    problem = fileStatusText(status, kMaxSoundFileBytes);
    return std::nullopt;
  }
  return decodeSound(image, name, problem);
}

std::vector<char> pcmWaveImage(const PcmSound& sound) {
  std::vector<char> image;
  const std::size_t pad = sound.data.size() % 2;
  image.reserve(44 + sound.data.size() + pad);
  putId(image, "RIFF");
  putU32(image, static_cast<std::uint32_t>(36 + sound.data.size() + pad));
  putId(image, "WAVE");
  putId(image, "fmt ");
  putU32(image, 16);
  putU16(image, kFormatPcm);
  putU16(image, static_cast<unsigned>(sound.format.channels));
  putU32(image, static_cast<std::uint32_t>(sound.format.sampleRate));
  putU32(image, static_cast<std::uint32_t>(sound.format.bytesPerSecond()));
  putU16(image, static_cast<unsigned>(sound.format.blockAlign()));
  putU16(image, static_cast<unsigned>(sound.format.bitsPerSample));
  putId(image, "data");
  putU32(image, static_cast<std::uint32_t>(sound.data.size()));
  image.insert(image.end(), sound.data.begin(), sound.data.end());
  if (pad) image.push_back(0);
  return image;
}

}  // namespace vashel
