// The player run without a window on a simulated clock: frame ticks, clicks
// on pick meshes and a stand-in balloon, reporting what the character does.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "anim/player.h"
#include "scene/model.h"

namespace vashel {

struct HeadlessClick {
  std::string meshName;   // code page 932, as the scene's names
  std::int64_t atMs = 0;  // simulated time
};

struct HeadlessOptions {
  std::int64_t durationMs = 60000;
  std::uint32_t seed = 1;  // seeds both rand() and the action shift register
  int rate = 20;           // display rate, ticks per second
  int hour = 12;           // local hour at the start; minutes advance with the run
  std::vector<HeadlessClick> clicks;
};

// Output, one line per event, time in simulated seconds:
//   T action SLOT NAME START END camera=NAME sound=N
//   T sequence NAME START END
//   T balloon SECONDS TEXT
// Names print as "-" when empty. A balloon line is printed when a page is
// drawn, not when the balloon timer takes the next entry of a list (that
// entry waits for the next drawing); its text is the page, converted to
// UTF-8 with newlines shown as \n, and SECONDS the message's display time.
// Problems with clicks go to `diagnostics`.
class HeadlessPlayer {
 public:
  HeadlessPlayer(Scene& scene, const HeadlessOptions& options, std::FILE* out,
                 std::FILE* diagnostics);
  ~HeadlessPlayer();
  HeadlessPlayer(const HeadlessPlayer&) = delete;
  HeadlessPlayer& operator=(const HeadlessPlayer&) = delete;

  Player& player() { return player_; }

  // The loader's start-up step (range, frame 1.0, start-up action).
  double startPlayback(int startupSlot);
  // The tree read from message.xml; it must outlive the run.
  void setMessageRoot(XmlElement* root) { player_.messageRoot = root; }
  // Runs from the current simulated time to the end of the duration.
  void run();

  std::int64_t nowMs() const;

 private:
  struct Parts;
  void tick();
  void click(const HeadlessClick& click);
  void report(const PlayerEvent& event);

  Scene& scene_;
  HeadlessOptions options_;
  std::FILE* out_;
  std::FILE* diagnostics_;
  std::unique_ptr<Parts> parts_;
  Player player_;
};

}  // namespace vashel
