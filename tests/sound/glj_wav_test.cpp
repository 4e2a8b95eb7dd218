// glj wav, run as the program: the PCM a sound file would play, as a plain
// WAVE file, or one line saying why the file is refused.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>

#include "sound/sound_files.h"
#include "sound/wave.h"

namespace vashel {
namespace {

using namespace vashel::testing;

const std::string kGlj = std::string(VASHEL_BIN_DIR) + "/glj";

struct GljRun {
  int exitCode = -1;
  std::string err;
};

GljRun glj(const TempFolder& dir, const std::string& arguments) {
  const std::string command = "cd '" + dir.path().string() + "' && '" + kGlj + "' wav " + arguments +
                              " >/dev/null 2>stderr";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(dir.path() / "stderr")};
}

// An ADPCM file comes out as 16-bit PCM with a 16-byte format, holding what
// the program would play.
TEST(GljWav, WritesPlainPcm) {
  VASHEL_REQUIRE_SOX();
  TempFolder dir;
  ASSERT_TRUE(sox(dir.path(), "-n -r 22050 -c 2 -e ms-adpcm in.wav synth 0.2 sine 500 sine 700"));
  const GljRun run = glj(dir, "in.wav out.wav");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  const std::string out = readBytes(dir.path() / "out.wav");
  ASSERT_GE(out.size(), 44u);
  EXPECT_EQ(out.substr(0, 4), "RIFF");
  EXPECT_EQ(out.substr(4, 4), u32(static_cast<std::uint32_t>(out.size() - 8)));
  EXPECT_EQ(out.substr(8, 28), "WAVEfmt " + u32(16) + pcmFormat(2, 22050, 16));
  EXPECT_EQ(out.substr(36, 8), "data" + u32(static_cast<std::uint32_t>(out.size() - 44)));
  std::string problem;
  const auto played = loadSound(dir / "in.wav", problem);
  ASSERT_TRUE(played) << problem;
  EXPECT_EQ(out.substr(44), std::string(played->data.begin(), played->data.end()));
}

TEST(GljWav, RefusedFilesGiveOneLine) {
  TempFolder dir;
  writeBytes(dir.path() / "short.wav",
             riff(chunk("fmt ", pcmFormat(1, 8000, 16).substr(0, 14)) + chunk("data", "abcd")));
  GljRun run = glj(dir, "short.wav out.wav");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "glj: short.wav: \"fmt \" chunk of 14 bytes\n");
  EXPECT_FALSE(fs::exists(dir.path() / "out.wav"));

  run = glj(dir, "missing.wav out.wav");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
  EXPECT_TRUE(run.err.starts_with("glj: missing.wav: ")) << run.err;

  run = glj(dir, "short.wav");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_EQ(run.err, "glj: usage: glj wav IN.wav OUT.wav\n");
}

}  // namespace
}  // namespace vashel
