#include "anim/headless.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "player_fakes.h"
#include "xml/xml.h"

namespace vashel {
namespace {

using testing::addElement;

// The character of tests/data/play_character, built by hand.
Scene playCharacter() {
  Scene scene;
  scene.cameras.resize(2);
  scene.cameras[0].name = "persp";
  scene.cameras[1].name = "close";
  scene.activeCamera = 0;
  scene.sceneStartFrame = 1;
  scene.sceneEndFrame = 400;
  scene.meshes.resize(3);
  scene.meshes[0].name = "Body";
  scene.meshes[1].name = "Head";
  scene.meshes[1].picking = "wave";
  scene.meshes[1].displayMode = kPickOnly;
  scene.meshes[2].name = "Tail";
  scene.meshes[2].picking = "nothing-here";
  scene.meshes[2].displayMode = kPickOnly;
  const auto define = [&](int slot, const char* name, int start, int end, const char* camera) {
    Action& a = scene.actions[static_cast<std::size_t>(slot)];
    a.id = slot;
    a.name = name;
    a.startFrame = start;
    a.endFrame = end;
    a.cameraName = camera;
    a.soundSlot = slot;
  };
  define(0, "idle", 1, 30, "persp");
  define(1, "wave", 100, 129, "close");
  define(2, "hop", 200, 219, "persp");
  scene.actions[0].messages.push_back(MessageEntry{-1, 4, -1, "It is HH:MM."});
  scene.actions[1].messages.push_back(MessageEntry{-1, 6, -1, "Hello!"});
  // ようこそ in code page 932, with the line break the companion file keeps.
  scene.defaultMessage = {"\x82\xe6\x82\xa4\x82\xb1\x82\xbb\n", 3};
  return scene;
}

struct PlayOutput {
  std::vector<std::string> lines;
  std::string diagnostics;
};

std::string contents(std::FILE* file) {
  std::string text = testing::fileText(file);
  std::fclose(file);
  return text;
}

PlayOutput play(Scene scene, const HeadlessOptions& options, XmlElement* messageRoot,
         int startupSlot = 0) {
  std::FILE* out = std::tmpfile();
  std::FILE* diagnostics = std::tmpfile();
  {
    HeadlessPlayer player(scene, options, out, diagnostics);
    applySceneSettings(player.player(), scene);
    player.startPlayback(startupSlot);
    player.setMessageRoot(messageRoot);
    player.run();
  }
  PlayOutput run;
  std::istringstream text(contents(out));
  for (std::string line; std::getline(text, line);) run.lines.push_back(line);
  run.diagnostics = contents(diagnostics);
  return run;
}

struct ParsedMessages {
  ParsedMessages() {
    XmlDocument document;
    document.clearBuffer();
    EXPECT_TRUE(document.loadFile(VASHEL_TEST_DATA "/play_character/message.xml"));
    document.parse(&root);
  }
  XmlElement root;
};

bool hasLine(const PlayOutput& run, const std::string& line) {
  return std::find(run.lines.begin(), run.lines.end(), line) != run.lines.end();
}

double timeOf(const std::string& line) { return std::stod(line); }

TEST(HeadlessPlay, DefaultMessageThenTheIdleLoop) {
  HeadlessOptions options;
  options.durationMs = 2500;
  const PlayOutput run = play(playCharacter(), options, nullptr);
  ASSERT_GE(run.lines.size(), 3u);
  // The first idle end shows the default message instead of restarting.
  EXPECT_NEAR(timeOf(run.lines[1]), 0.95, 0.06);
  EXPECT_EQ(run.lines[1].substr(5), " balloon 3 ようこそ");  // trimmed like the balloon's plain texts
  EXPECT_EQ(run.lines[2].substr(5), " action 0 idle 1 30 camera=persp sound=0");
  EXPECT_GT(timeOf(run.lines[2]), timeOf(run.lines[1]));
  EXPECT_LT(timeOf(run.lines[2]) - timeOf(run.lines[1]), 0.06);  // one tick later
}

TEST(HeadlessPlay, EachPageOfAMessagePrintsWhenItIsDrawn) {
  Scene scene = playCharacter();
  scene.defaultMessage = {"first <b>page</b>\\0second\\0", 2};
  HeadlessOptions options;
  options.durationMs = 8000;
  const PlayOutput run = play(std::move(scene), options, nullptr);
  std::vector<std::string> balloons;
  for (const std::string& line : run.lines) {
    if (line.find(" balloon ") != std::string::npos) balloons.push_back(line);
  }
  // The first page at the idle end; when its 2 s are up the balloon timer
  // draws the second page for 2 s more; then the balloon hides, and the
  // marker at the very end makes no third page.
  ASSERT_EQ(balloons.size(), 2u) << ::testing::PrintToString(run.lines);
  EXPECT_EQ(balloons[0].substr(5), " balloon 2 first page");
  EXPECT_EQ(balloons[1].substr(5), " balloon 2 second");
  EXPECT_NEAR(timeOf(balloons[1]) - timeOf(balloons[0]), 2.5, 0.5);
  EXPECT_FALSE(hasLine(run, balloons[0].substr(0, 5) + " balloon 2 second"));
}

TEST(HeadlessPlay, AClickOnAPickMeshPlaysItsSequenceAndSteppedMessages) {
  ParsedMessages messages;
  HeadlessOptions options;
  options.durationMs = 16000;
  options.clicks = {{"Head", 2500}};
  const PlayOutput run = play(playCharacter(), options, &messages.root);

  const auto at = std::find(run.lines.begin(), run.lines.end(), "2.500 sequence greet 200 229");
  ASSERT_NE(at, run.lines.end());
  ASSERT_NE(at + 1, run.lines.end());
  EXPECT_EQ(*(at + 1), "2.500 balloon 1.5 こんにちは");
  // The balloon timer (every 500 ms) finds the entry expired after 1.5 s,
  // takes one member of the random group and draws it for 10 s; the list is
  // then used up and nothing more shows.
  std::vector<std::string> later;
  for (auto line = at + 2; line != run.lines.end(); ++line) {
    if (line->find(" balloon ") != std::string::npos) later.push_back(*line);
  }
  ASSERT_EQ(later.size(), 1u) << ::testing::PrintToString(run.lines);
  EXPECT_TRUE(later[0].ends_with(" balloon 10 one") || later[0].ends_with(" balloon 10 two"))
      << later[0];
  EXPECT_NEAR(timeOf(later[0]), 4.0, 0.55);
  // The sequence's 30 frames end about a second after the click.
  const auto back = std::find_if(at, run.lines.end(), [](const std::string& line) {
    return line.find(" action 0 idle") != std::string::npos;
  });
  ASSERT_NE(back, run.lines.end());
  EXPECT_NEAR(timeOf(*back), 3.5, 0.06);
}

TEST(HeadlessPlay, ClicksThatPickNothingAreReported) {
  HeadlessOptions options;
  options.durationMs = 3000;
  options.clicks = {{"Body", 1200}, {"Tail", 1300}, {"Nose", 1400}};
  const PlayOutput run = play(playCharacter(), options, nullptr);
  EXPECT_EQ(run.diagnostics,
            "1.200 click: mesh Body cannot be picked now\n"
            "1.300 click: mesh Tail names no action\n"
            "1.400 click: no mesh named Nose\n");
  for (const std::string& line : run.lines) EXPECT_EQ(line.find(" action 1 "), std::string::npos);

  // Without message.xml the same click plays the action the mesh names.
  options.clicks = {{"Head", 1500}};
  options.durationMs = 1600;
  EXPECT_EQ(play(playCharacter(), options, nullptr).lines.back(),
            "1.500 action 1 wave 100 129 camera=close sound=1");
}

TEST(HeadlessPlay, ARandomactionListReplacesTheIdleLoop) {
  XmlElement root;
  XmlElement* vashel = addElement(root, "vashel");
  XmlElement* rest = addElement(*vashel, "sequence", {{"name", "rest"}, {"start", "300"}, {"end", "314"}});
  addElement(*rest, "msg", {{"frame", "5"}}, "zzz\nzz\n");
  XmlElement* list = addElement(root, "randomaction");
  addElement(*list, "n", {{"name", "rest"}});
  HeadlessOptions options;
  options.durationMs = 5000;
  Scene scene = playCharacter();
  scene.defaultMessage = {};
  const PlayOutput run = play(scene, options, &root);
  ASSERT_GE(run.lines.size(), 4u);
  EXPECT_EQ(run.lines[1].substr(5), " sequence rest 300 314");
  EXPECT_EQ(run.lines[2].substr(5), " balloon 0.5 zzz\\nzz\\n");  // list entries as stored
  // Half-second sequences follow one another; the idle action never returns.
  int sequences = 0;
  for (const std::string& line : run.lines) {
    EXPECT_EQ(line.find(" action "), line == run.lines[0] ? 5 : std::string::npos);
    if (line.find(" sequence rest ") != std::string::npos) ++sequences;
  }
  EXPECT_GE(sequences, 6);
}

}  // namespace
}  // namespace vashel
