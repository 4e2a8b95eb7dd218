// A windowless run of the player: the tick loop of the desktop shell and the
// frame render's clock steps, on simulated time, with a balloon that prints.
#include "anim/headless.h"

#include <algorithm>
#include <optional>

#include "anim/balloon_port.h"
#include "platform/codepage.h"
#include "scene/curve.h"
#include "xml/xml.h"

namespace vashel {
namespace {

// Simulated time starts here on the monotonic clock, as a machine that has
// been up for a while; a zero expiry then counts as passed at once.
constexpr std::int32_t kUptimeMs = 100000;
constexpr std::int64_t kEpochStart = 1700000000;  // any fixed date
constexpr std::int64_t kBalloonTimerMs = 500;

class SimClock final : public Clock {
 public:
  explicit SimClock(int hour) : hour_(hour) {}
  std::int32_t nowMs() override { return static_cast<std::int32_t>(kUptimeMs + simMs); }
  std::int64_t epochSeconds() override { return kEpochStart + simMs / 1000; }
  LocalTime localTime() override {
    const std::int64_t minutes = hour_ * 60LL + simMs / 60000;
    return LocalTime{static_cast<int>(minutes / 60 % 24), static_cast<int>(minutes % 60)};
  }
  std::int64_t simMs = 0;

 private:
  int hour_;
};

// The newest armed tick replaces any pending one, as the real timer's id check does.
class SimTimer final : public TickTimer {
 public:
  explicit SimTimer(const SimClock& clock) : clock_(clock) {}
  void armTick(int delayMs) override { due = clock_.simMs + std::max(delayMs, 1); }
  std::optional<std::int64_t> due;

 private:
  const SimClock& clock_;
};

class SilentSound final : public SoundPort {
 public:
  bool holdsBuffer(int) const override { return false; }
  void start(int) override {}
  void stop(int) override {}
  void pause(int) override {}
  void seek(int, long) override {}
};

std::string printable(std::string_view cp932) {
  std::string out;
  for (char c : convertToUtf8(kDataCodePage, cp932)) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

const char* orDash(const std::string& name) { return name.empty() ? "-" : name.c_str(); }

// The balloon's windows without a screen: fixed metrics, and each page
// printed when it is drawn, so that the output says what the screen would
// show. The balloon timer never stops once started.
class PrintingWindows final : public BalloonWindows, public TextMeasure {
 public:
  PrintingWindows(const SimClock& clock, std::FILE* out) : clock_(clock), out_(out) {}

  TextMeasure& measure() override { return *this; }
  TextExtent extent(BalloonFont, std::string_view line) override {
    return {static_cast<int>(line.size()) * 6, 12};
  }
  void place(const BalloonPlacement&) override {}
  void draw(const BalloonPicture& picture) override {
    std::fprintf(out_, "%.3f balloon %g %s\n", clock_.simMs / 1000.0, seconds,
                 printable(picture.page).c_str());
  }
  void hide() override {}
  void restartTimer() override { timerDue = clock_.simMs + kBalloonTimerMs; }

  double seconds = 0;  // display time of the message being shown
  std::optional<std::int64_t> timerDue;

 private:
  const SimClock& clock_;
  std::FILE* out_;
};

// Notes each message's display time for the printed lines.
class PrintingBalloon final : public BalloonLogicPort {
 public:
  PrintingBalloon(Player& player, Balloon& balloon, PrintingWindows& windows)
      : BalloonLogicPort(player, balloon), windows_(windows) {}

  void showText(std::string_view text, int seconds, std::string_view title,
                std::string_view link) override {
    windows_.seconds = seconds;
    BalloonLogicPort::showText(text, seconds, title, link);
  }
  void showEntry(std::string_view text, int displayMs) override {
    windows_.seconds = displayMs / 1000.0;
    BalloonLogicPort::showEntry(text, displayMs);
  }

 private:
  PrintingWindows& windows_;
};

}  // namespace

struct HeadlessPlayer::Parts {
  Parts(const HeadlessOptions& options, std::FILE* out, Player& player)
      : clock(options.hour),
        timer(clock),
        random(options.seed),
        windows(clock, out),
        logic(windows),
        balloon(player, logic, windows) {}
  SimClock clock;
  SimTimer timer;
  CrtRandom random;
  PrintingWindows windows;
  Balloon logic;
  PrintingBalloon balloon;
  SilentSound sound;
};

HeadlessPlayer::HeadlessPlayer(Scene& scene, const HeadlessOptions& options, std::FILE* out,
                               std::FILE* diagnostics)
    : scene_(scene),
      options_(options),
      out_(out),
      diagnostics_(diagnostics),
      parts_(std::make_unique<Parts>(options, out, player_)) {
  player_.ports = PlayerPorts{&parts_->clock, &parts_->random, &parts_->timer,
                              &parts_->balloon, &parts_->sound, nullptr};
  player_.log = nullptr;
  player_.soundEnabled = true;
  player_.trace = [this](const PlayerEvent& event) { report(event); };
  seedRandomState(player_, options.seed);
  setFrameRate(player_.clock, options.rate, nullptr);
  std::sort(options_.clicks.begin(), options_.clicks.end(),
            [](const HeadlessClick& a, const HeadlessClick& b) { return a.atMs < b.atMs; });
}

HeadlessPlayer::~HeadlessPlayer() = default;

std::int64_t HeadlessPlayer::nowMs() const { return parts_->clock.simMs; }

double HeadlessPlayer::startPlayback(int startupSlot) {
  return vashel::startPlayback(player_, scene_, startupSlot);
}

void HeadlessPlayer::report(const PlayerEvent& event) {
  const double t = nowMs() / 1000.0;
  if (event.kind == PlayerEvent::SequenceStarted) {
    const std::string* name = event.sequence->getAttribute("name");
    std::fprintf(out_, "%.3f sequence %s %d %d\n", t, name ? orDash(*name) : "-",
                 player_.clock.startFrame, player_.clock.endFrame);
    return;
  }
  const Action* action = scene_.action(event.action);
  if (action == nullptr) return;
  const Camera* camera = scene_.activeCamera >= 0 &&
                                 scene_.activeCamera < static_cast<int>(scene_.cameras.size())
                             ? &scene_.cameras[static_cast<std::size_t>(scene_.activeCamera)]
                             : nullptr;
  std::fprintf(out_, "%.3f action %d %s %d %d camera=%s sound=%d\n", t, event.action,
               printable(orDash(action->name)).c_str(), action->startFrame, action->endFrame,
               camera ? printable(orDash(camera->name)).c_str() : "-", action->soundSlot);
}

void HeadlessPlayer::tick() {
  parts_->timer.due.reset();
  if (player_.clock.playState == kPlaying) {
    beginFrame(player_);
    recordFrameStat(player_.clock, player_.ports.time->nowMs());
    scheduleNextTick(player_, scene_);
  }
  finishTick(player_);
}

void HeadlessPlayer::click(const HeadlessClick& click) {
  const double t = nowMs() / 1000.0;
  std::fflush(out_);  // keeps the two streams in order on a terminal
  // A right-button press renders a frame at once, picking first.
  beginFrame(player_);
  const int index = scene_.findMesh(click.meshName);
  if (index < 0) {
    std::fprintf(diagnostics_, "%.3f click: no mesh named %s\n", t,
                 printable(click.meshName).c_str());
    return;
  }
  const Mesh& mesh = scene_.meshes[static_cast<std::size_t>(index)];
  const bool visible =
      !mesh.visibility || evaluateCurve(*mesh.visibility, roundFrame(player_.clock.currentFrame)) != 0;
  if (mesh.displayMode != kPickOnly || mesh.unpickable != 0 || !visible) {
    std::fprintf(diagnostics_, "%.3f click: mesh %s cannot be picked now\n", t,
                 printable(click.meshName).c_str());
    return;
  }
  const int action = findActionByName(scene_, mesh.picking);
  if (action < 0) {
    std::fprintf(diagnostics_, "%.3f click: mesh %s names no action\n", t,
                 printable(click.meshName).c_str());
    return;
  }
  setNewAction(player_, scene_, action, mesh.name, {});
  recordFrameStat(player_.clock, player_.ports.time->nowMs());
}

void HeadlessPlayer::run() {
  if (!parts_->timer.due) startClock(player_);
  std::size_t nextClick = 0;
  while (nextClick < options_.clicks.size() && options_.clicks[nextClick].atMs < nowMs()) {
    ++nextClick;
  }
  for (;;) {
    std::optional<std::int64_t> next;
    const auto consider = [&next](std::optional<std::int64_t> t) {
      if (t && (!next || *t < *next)) next = t;
    };
    if (nextClick < options_.clicks.size()) consider(options_.clicks[nextClick].atMs);
    consider(parts_->timer.due);
    consider(parts_->windows.timerDue);
    if (!next || *next > options_.durationMs) break;
    parts_->clock.simMs = *next;
    // At one instant: clicks, then the frame tick, then the balloon timer.
    if (nextClick < options_.clicks.size() && options_.clicks[nextClick].atMs == *next) {
      click(options_.clicks[nextClick++]);
    } else if (parts_->timer.due == *next) {
      tick();
    } else {
      parts_->windows.restartTimer();
      parts_->balloon.timerTick();
    }
  }
  parts_->clock.simMs = std::max(parts_->clock.simMs, options_.durationMs);
}

}  // namespace vashel
