// glj play run as authors run it, on the character in tests/data/play_character.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct Result {
  int status = -1;
  std::string out;
};

Result glj(const std::string& arguments) {
  const std::string command = std::string(VASHEL_BIN_DIR) + "/glj play " + arguments + " 2>&1";
  Result result;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

const std::string kScene = std::string(VASHEL_TEST_DATA) + "/play_character/scene.gls";

TEST(GljPlay, RunsTheCharacterFromItsOwnFolder) {
  const Result run = glj(kScene + " --seconds 8 --click Head@2.5");
  ASSERT_EQ(run.status, 0) << run.out;
  // The start-up call already reaches the idle limit of 0 (randomAction: 2 2 1).
  EXPECT_EQ(run.out.rfind("0.000 action ", 0), 0u) << run.out;
  // The companion file's default message, trimmed, and message.xml's sequence.
  EXPECT_NE(run.out.find(" balloon 3 ようこそ\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2.500 sequence greet 200 229\n2.500 balloon 1.5 こんにちは\n"),
            std::string::npos)
      << run.out;
}

TEST(GljPlay, ClicksNameMeshesInUtf8) {
  // The scene names the mesh 耳 in code page 932; message.xml, in UTF-8,
  // gives it a sequence.
  const Result run = glj(kScene + " --seconds 2 --click 耳@1.5 --click 鼻@1.6");
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("1.500 sequence ear 330 339\n1.500 balloon 10 みみ\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("1.600 click: no mesh named 鼻\n"), std::string::npos) << run.out;

  // A name that code page 932 cannot hold names no mesh.
  const Result emoji = glj(kScene + " --click 😀@1");
  EXPECT_EQ(emoji.status, 1);
  EXPECT_EQ(emoji.out.rfind("glj: play: --click: ", 0), 0u) << emoji.out;
}

TEST(GljPlay, SameSeedSameOutput) {
  const std::string arguments = kScene + " --seconds 90 --seed 7 --rate 15 --hour 23";
  const Result first = glj(arguments);
  ASSERT_EQ(first.status, 0) << first.out;
  EXPECT_EQ(glj(arguments).out, first.out);
  EXPECT_NE(glj(kScene + " --seconds 90 --seed 8 --rate 15 --hour 23").out, first.out);
}

TEST(GljPlay, RejectsBadArguments) {
  for (const char* arguments :
       {"", "--seconds", "X --rate 0", "X --hour 24", "X --seconds -1", "X --click Head",
        "X --click @3", "X --seed pear", "X --bogus 1", "X Y", "absent.gls"}) {
    SCOPED_TRACE(arguments);
    const Result run = glj(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out.rfind("glj: play: ", 0), 0u) << run.out;
  }
}

}  // namespace
