// Stand-ins for the player's services: the shared clock and random fakes,
// and a balloon, sound, feed and timer that record calls.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "anim/player.h"
#include "platform_fakes.h"
#include "xml/xml.h"

namespace vashel::testing {

class RecordingTimer final : public TickTimer {
 public:
  void armTick(int delayMs) override { delays.push_back(delayMs); }
  std::vector<int> delays;
};

class RecordingBalloon final : public BalloonPort {
 public:
  // Each change of the balloon, in order: a plain text (hasText), an entry
  // of a sequence's list (its text as stored), or a hide.
  struct Shown {
    bool hasText = false;
    std::string text;
    int seconds = 0;
    std::string title;
    std::string link;
    int displayMs = 0;    // entries
    bool hidden = false;  // hides
  };
  void showText(std::string_view text, int seconds, std::string_view title,
                std::string_view link) override {
    shown.push_back(Shown{true, std::string(text), seconds, std::string(title), std::string(link)});
  }
  void showEntry(std::string_view text, int displayMs) override {
    Shown entry;
    entry.text = text;
    entry.displayMs = displayMs;
    shown.push_back(entry);
  }
  void hide() override {
    Shown hidden;
    hidden.hidden = true;
    shown.push_back(hidden);
  }
  void layout(int mode) override { layouts.push_back(mode); }
  std::vector<Shown> shown;
  std::vector<int> layouts;
};

class RecordingSound final : public SoundPort {
 public:
  bool holdsBuffer(int slot) const override { return slot == loadedSlot; }
  void start(int slot) override { calls.push_back("start " + std::to_string(slot)); }
  void stop(int slot) override { calls.push_back("stop " + std::to_string(slot)); }
  void pause(int slot) override { calls.push_back("pause " + std::to_string(slot)); }
  void seek(int slot, long offset) override {
    calls.push_back("seek " + std::to_string(slot) + " " + std::to_string(offset));
  }
  int loadedSlot = 3;
  std::vector<std::string> calls;
};

class FakeFeed final : public FeedSource {
 public:
  std::size_t itemCount() const override { return items.size(); }
  std::optional<FeedItemText> item(std::size_t index) const override {
    if (index >= items.size()) return std::nullopt;
    return items[index];
  }
  std::vector<FeedItemText> items;
};

// A player wired to the fakes, with a scene whose idle action 0 plays 1..10.
struct PlayerRig {
  PlayerRig() {
    player.ports = PlayerPorts{&clock, &random, &timer, &balloon, &sound, &feed};
    player.log = nullptr;
    player.randomState = 12345;
    Action& idle = scene.actions[0];
    idle.id = 0;
    idle.name = "idle";
    idle.startFrame = 1;
    idle.endFrame = 10;
  }
  Action& define(int slot, int start, int end, std::string name = {}) {
    Action& a = scene.actions[static_cast<std::size_t>(slot)];
    a.id = slot;
    a.name = name.empty() ? "a" + std::to_string(slot) : std::move(name);
    a.startFrame = start;
    a.endFrame = end;
    return a;
  }
  // Runs the start-up call, which shows no balloon, so that tests begin at call 2.
  void startUp() {
    setNewAction(player, scene, 0, {}, {});
    ASSERT_TRUE(player.firstCallDone);
  }

  FakeClock clock;
  ScriptedRandom random;
  RecordingTimer timer;
  RecordingBalloon balloon;
  RecordingSound sound;
  FakeFeed feed;
  Scene scene;
  Player player;
};

// Everything written to a file so far, such as a log on a tmpfile().
inline std::string fileText(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

// A small message tree built by hand: <root><vashel>...</vashel></root>.
inline XmlElement* addElement(XmlElement& parent, std::string name,
                              std::vector<std::pair<std::string, std::string>> attributes = {},
                              std::string text = {}) {
  auto child = std::make_unique<XmlElement>();
  child->setName(name);
  for (const auto& [k, v] : attributes) child->addAttribute(k, v);
  child->appendText(text);
  child->setParent(&parent);
  return parent.addChild(std::move(child));
}

}  // namespace vashel::testing
