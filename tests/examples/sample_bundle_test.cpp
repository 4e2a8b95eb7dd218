// The committed sample bundle: the generator reproduces it byte for byte,
// and every file in it is one the program's readers accept.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "platform/codepage.h"
#include "render/tga.h"
#include "tools/make_sample/sounds.h"
#include "xml/xml.h"

namespace vashel {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(VASHEL_TEST_DATA).parent_path().parent_path() / "examples" / "sample";

std::string readAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::set<std::string> fileNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

TEST(SampleBundle, GeneratorReproducesTheCommittedFilesByteForByte) {
  const fs::path out = fs::temp_directory_path() / ("vashel_sample_" + std::to_string(::getpid()));
  fs::remove_all(out);
  const std::string command =
      std::string("\"") + VASHEL_BIN_DIR + "/make_sample\" \"" + out.string() + "\" > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  // Two runs must agree too: nothing may depend on time or memory layout.
  const fs::path again = out / "again";
  ASSERT_EQ(std::system((std::string("\"") + VASHEL_BIN_DIR + "/make_sample\" \"" + again.string() +
                         "\" > /dev/null").c_str()),
            0);
  std::set<std::string> generated = fileNames(out);
  generated.erase("again");
  EXPECT_EQ(generated, fileNames(kSample)) << "regenerate with scripts/make-sample";
  for (const std::string& name : generated) {
    EXPECT_EQ(readAll(out / name), readAll(kSample / name)) << name << " differs; regenerate with scripts/make-sample";
    EXPECT_EQ(readAll(out / name), readAll(again / name)) << name << " differs between two runs";
  }
  fs::remove_all(out);
}

// A WAVE file as the sound loader walks it.
struct Wave {
  int formatTag = 0, channels = 0, bitsPerSample = 0, formatSize = 0;
  std::string data;
};

std::uint32_t le(const std::string& s, size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s.at(at + i));
  return v;
}

bool walkWave(const std::string& file, Wave& wave) {
  if (file.size() < 12 || file.compare(0, 4, "RIFF") != 0 || file.compare(8, 4, "WAVE") != 0) return false;
  long remaining = le(file, 4, 4);
  size_t at = 12;
  bool haveFormat = false;
  while (remaining > 0 && at + 8 <= file.size()) {
    const std::string id = file.substr(at, 4);
    const std::uint32_t size = le(file, at + 4, 4);
    at += 8;
    if (id == "fmt ") {
      wave.formatSize = static_cast<int>(size);
      wave.formatTag = static_cast<int>(le(file, at, 2));
      wave.channels = static_cast<int>(le(file, at + 2, 2));
      wave.bitsPerSample = static_cast<int>(le(file, at + 14, 2));
      haveFormat = true;
    } else if (id == "data") {
      if (at + size > file.size()) return false;
      wave.data = file.substr(at, size);
      return haveFormat;
    }
    remaining -= size;
    at += size;
  }
  return false;
}

TEST(SampleBundle, EveryActionSoundIsAWaveTheLoaderAccepts) {
  bool sawCompressed = false, sawScrambled = false;
  for (const std::string& name : fileNames(kSample)) {
    const bool scrambled = name.back() == 'z' || name.back() == 'Z';
    if (name.ends_with(".wav") || scrambled) {
      Wave wave;
      ASSERT_TRUE(walkWave(readAll(kSample / name), wave)) << name;
      EXPECT_TRUE(wave.formatSize == 16 || wave.formatSize >= 18) << name;
      EXPECT_EQ(wave.channels, 1) << name;
      EXPECT_EQ(wave.data.size() % 2, 0u) << name << ": an odd size would need a pad byte, which the loader does not skip";
      if (wave.formatTag == 1) {
        EXPECT_EQ(wave.bitsPerSample, 16) << name;
      } else {
        sawCompressed = true;
      }
      if (scrambled) {
        sawScrambled = true;
        ASSERT_EQ(wave.formatTag, 1) << "descrambling works on PCM data";
        // The giggle starts with a moment of silence: scrambled, those bytes
        // are the keystream; descrambled, they are zero.
        std::string pcm = wave.data;
        EXPECT_NE(pcm.substr(0, 64), std::string(64, '\0'));
        sample::scrambleSoundData(pcm.data(), pcm.size(), sample::kSoundKey);
        EXPECT_EQ(pcm.substr(0, 64), std::string(64, '\0')) << name;
      }
    }
  }
  EXPECT_TRUE(sawCompressed) << "one sound should need conversion";
  EXPECT_TRUE(sawScrambled) << "one sound should be scrambled";
}

TEST(SampleBundle, FaceTextureDecodesWithTheRenderersReader) {
  TgaReader reader;
  const auto image = reader.loadTGA((kSample / "face.tga").string());
  ASSERT_TRUE(image.has_value()) << tgaErrorText(reader.lastError());
  EXPECT_EQ(image->width, 256);
  EXPECT_EQ(image->height, 256);
  // Opaque everywhere, and not one flat colour (the eyes are there).
  std::set<std::uint32_t> colours;
  for (size_t i = 0; i + 3 < image->pixels.size(); i += 4) {
    ASSERT_EQ(image->pixels[i + 3], 255) << "pixel " << i / 4;
    colours.insert(image->pixels[i] | image->pixels[i + 1] << 8 | image->pixels[i + 2] << 16);
  }
  EXPECT_GT(colours.size(), 50u);
}

TEST(SampleBundle, CompanionFileIsShiftJisThatConvertsCleanly) {
  const std::string bytes = readAll(kSample / "data.glj.txt");
  const std::string utf8 = convertToUtf8(932, bytes);
  EXPECT_EQ(utf8.find("\xEF\xBF\xBD"), std::string::npos) << "a byte that is not code page 932";
  EXPECT_NE(utf8.find("こんにちは"), std::string::npos);
  std::istringstream lines(bytes);
  std::string line;
  while (std::getline(lines, line)) {
    EXPECT_LT(line.size() + 1, 511u) << line;
    // The reader skips any other line without a word: a stray line break
    // would drop the rest of a message.
    const bool message = !line.empty() && (std::isdigit(static_cast<unsigned char>(line[0])) || line[0] == '-');
    EXPECT_TRUE(message || line.starts_with("# ")) << line;
  }
}

// The feed is for tests against a local server; it must parse as it is.
TEST(SampleBundle, FeedParsesWithoutErrors) {
  XmlDocument document;
  ASSERT_TRUE(document.loadFile((kSample / "feed.xml").string()));
  XmlElement root;
  ASSERT_EQ(document.parse(&root), 1);
  EXPECT_FALSE(document.lastOutcome().firstPass.has_value());
  XmlElement* channel = root.findElement("channel");
  ASSERT_NE(channel, nullptr);
  int items = 0;
  for (size_t i = 0; i < channel->childCount(); ++i) items += channel->child(i)->name() == "item";
  EXPECT_GE(items, 3);
}

}  // namespace
}  // namespace vashel
