// Sound files for the tests: a fresh folder per test, WAVE images built byte
// by byte, and sox to write and decode files in the codecs it knows.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace vashel::testing {

namespace fs = std::filesystem;

inline std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

inline void writeBytes(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline bool soxAvailable() { return std::system("sox --version >/dev/null 2>&1") == 0; }

// Skips the calling test when sox is missing (scripts/deps.sh installs it).
#define VASHEL_REQUIRE_SOX()                                                         \
  do {                                                                               \
    if (!::vashel::testing::soxAvailable())                                          \
      GTEST_SKIP() << "sox is not installed: it writes and decodes the test sounds"; \
  } while (false)

// Runs sox with `arguments` in `dir`; true when it succeeded.
inline bool sox(const fs::path& dir, const std::string& arguments) {
  const std::string command = "cd '" + dir.string() + "' && sox -D " + arguments + " 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

// Little-endian pieces of a RIFF image.
inline std::string u32(std::uint32_t v) {
  std::string s;
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i) & 0xff));
  return s;
}
inline std::string u16(unsigned v) {
  return {static_cast<char>(v & 0xff), static_cast<char>(v >> 8 & 0xff)};
}
inline std::string chunk(const std::string& id, const std::string& body) {
  return id + u32(static_cast<std::uint32_t>(body.size())) + body;
}
// A 16-byte PCM format record.
inline std::string pcmFormat(int channels, int rate, int bits) {
  const int align = channels * bits / 8;
  return u16(1) + u16(static_cast<unsigned>(channels)) + u32(static_cast<std::uint32_t>(rate)) +
         u32(static_cast<std::uint32_t>(rate * align)) + u16(static_cast<unsigned>(align)) +
         u16(static_cast<unsigned>(bits));
}
// RIFF header over `chunks`, with the size counted as the whole body.
inline std::string riff(const std::string& chunks) {
  return "RIFF" + u32(static_cast<std::uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

inline std::vector<std::int16_t> samples16(const std::string& bytes) {
  std::vector<std::int16_t> out(bytes.size() / 2);
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = static_cast<std::int16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  }
  return out;
}
inline std::vector<std::int16_t> samples16(const std::vector<char>& bytes) {
  return samples16(std::string(bytes.begin(), bytes.end()));
}

class TempFolder {
 public:
  TempFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() /
           ("vashel_sound_" + std::to_string(getpid()) + "_" + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~TempFolder() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return dir_; }
  std::string operator/(const std::string& name) const { return (dir_ / name).string(); }

 private:
  fs::path dir_;
};

}  // namespace vashel::testing
