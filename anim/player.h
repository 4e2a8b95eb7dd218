// The animation player's share of the application state and the services it
// reaches: what plays next, with which camera, sound and balloon message.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "anim/clock.h"
#include "messages/balloon_state.h"
#include "platform/clock.h"
#include "platform/random.h"
#include "scene/model.h"

namespace vashel {

class XmlElement;

// The speech balloon's windows as the player drives them. The player keeps
// the message list and the expiry (BalloonState) and decides what shows;
// the port only shows, lays out and hides. Each show (re)starts the
// balloon's 500 ms timer, whose ticks call balloonTimerFired; a layout that
// finds every page shown calls showBalloon without text. Texts are code page
// 932.
class BalloonPort {
 public:
  virtual ~BalloonPort() = default;
  // A plain text for `seconds` (never 0): the port removes tags, wraps and
  // trims it. Empty title or link: none. Not drawn until `layout`.
  virtual void showText(std::string_view text, int seconds, std::string_view title,
                        std::string_view link) = 0;
  // An entry of a sequence's message list for displayMs, shown exactly as
  // stored. Not drawn until `layout`.
  virtual void showEntry(std::string_view text, int displayMs) = 0;
  // Clears the message and hides the balloon.
  virtual void hide() = 0;
  // 0: measure the current page; 1: place, show and draw it, then advance.
  virtual void layout(int mode) = 0;
};

// The 100 sound slots. Callers pass slots 0..99 only.
class SoundPort {
 public:
  virtual ~SoundPort() = default;
  virtual bool holdsBuffer(int slot) const = 0;
  virtual void start(int slot) = 0;                  // rewind, play once
  virtual void stop(int slot) = 0;                   // stop, rewind
  virtual void pause(int slot) = 0;                  // stop where it is
  virtual void seek(int slot, long byteOffset) = 0;  // reposition (not when negative), play once
  // Bytes of sound data per second of the slot's sound; 0 when unknown.
  virtual long bytesPerSecond(int /*slot*/) const { return 0; }
};

// One item of the last feed document, texts in code page 932.
struct FeedItemText {
  std::string title;
  std::string description;
  std::string link;
};

// The items of the last feed document. Item 0 is the channel itself.
class FeedSource {
 public:
  virtual ~FeedSource() = default;
  virtual std::size_t itemCount() const = 0;
  virtual std::optional<FeedItemText> item(std::size_t index) const = 0;  // none past the end
};

// The services the player uses. The time source and the random source are
// required; a null timer arms nothing, a null balloon shows nothing, a null
// sound port stays silent, a null feed has no items.
struct PlayerPorts {
  Clock* time = nullptr;
  RandomSource* random = nullptr;  // every rand() draw of the player
  TickTimer* timer = nullptr;
  BalloonPort* balloon = nullptr;
  SoundPort* sound = nullptr;
  FeedSource* feed = nullptr;
};

// What setNewAction did, for tools and tests that follow the behaviour.
struct PlayerEvent {
  enum Kind { ActionStarted, SequenceStarted };
  Kind kind = ActionStarted;
  int action = 0;                         // ActionStarted: the slot now playing
  const XmlElement* sequence = nullptr;   // SequenceStarted: the `sequence` element
};

struct Player {
  PlayerClock clock;
  PlayerPorts ports;

  // Random behaviour (scene key "randomAction:", or a downloaded set).
  int randomMax = 0;     // random actions are 1..randomMax; 0: none
  int randomTime = 10;   // idle loops before a random action ...
  int randomJitter = 5;  // ... plus jitter..2*jitter more
  // Seconds between random messages (scene key "randomMessage:").
  int randomMessageMin = 60;
  int randomMessageMax = 20;

  int callCounter = 0;        // setNewAction calls since start
  int idleRepeatCounter = 0;
  int idleRepeatLimit = 0;
  int lastRandomAction = -1;
  std::uint32_t randomState = 0;    // the 15-bit shift register (seedRandomState)
  std::int64_t nextMessageTime = 0; // epoch seconds
  bool firstCallDone = false;
  int currentAction = 0;            // slot started last (statistics box)

  // Sound: the current action's sound number and whether the next frame
  // (re)starts it; soundEnabled is set by start-up once sound output exists.
  int currentSound = 0;
  bool soundRestart = true;
  bool soundEnabled = false;

  // Root of the tree read from message.xml; owned by the shell, may be null.
  XmlElement* messageRoot = nullptr;
  // The balloon's message list and expiry; untouched while there is no
  // balloon port.
  BalloonState balloon;

  // The shell's statistics-box request (Show Stat key); printPlayStats
  // hands the box text to showPlayStats and clears it.
  bool statsRequested = false;
  std::function<void(const std::string& text)> showPlayStats;

  // Views of the shell's state; an empty function reads as false.
  std::function<bool()> menuOpen;
  std::function<bool()> nosound;

  // Called by setNewAction once the new action or sequence is in place.
  std::function<void(const PlayerEvent&)> trace;

  // Diagnostic lines ("[PLAYEND]", "Playend Check", ...); null: silent.
  std::FILE* log = stdout;

  bool isMenuOpen() const { return menuOpen && menuOpen(); }
  bool isMuted() const { return nosound && nosound(); }
};

// --- Set-up -----------------------------------------------------------------

// Seeds the shift register (start-up passes the time of day in seconds, the
// same value that seeds rand()).
void seedRandomState(Player& player, std::uint32_t seconds);

// Takes over the scene's "randomAction:" and "randomMessage:" values.
void applySceneSettings(Player& player, const Scene& scene);

// The loader's start-up step: scene settings, the scene's range, frame 1.0,
// then setNewAction(startupSlot) unless it is negative. Returns the current
// frame afterwards.
double startPlayback(Player& player, Scene& scene, int startupSlot);

// --- Frame clock (the rest is in anim/clock.h) ------------------------------

// Arms the first tick after the frame period (start-up).
void startClock(Player& player);
// Pause stops re-arming; resume plays and arms a tick after the frame period.
void setPlaying(Player& player, bool playing);

// The frame-advance part of one paint: the frame from the clock when
// playing, the paint counters with the repeat rule (a paint that would show
// the same integer frame steps forward), and a pending sound restart.
void beginFrame(Player& player);

// End of every tick-driven paint: plays out a finished range through
// setNewAction, then re-arms the timer with a lateness-corrected delay.
// Returns the delay armed at a range end, else the tick interval.
int scheduleNextTick(Player& player, Scene& scene);

// After the tick's paint: a frame beyond the range goes back to its start.
void finishTick(Player& player);

// "[PLAYEND] ..." and the frame statistics; serves a pending statistics-box
// request first.
void printPlayStats(Player& player);
// The statistics box text for the current action.
std::string formatPlayStats(const Player& player);

// --- Actions and sequences --------------------------------------------------

// Chooses and starts what plays next. key: action slot (0 = idle); pickName:
// a picked mesh's name (code page 932), empty for none; elementName: an element of
// message.xml whose children name sequences, empty for none. Switches the
// scene's active camera and the current sound, and may show a balloon.
int setNewAction(Player& player, Scene& scene, int key, std::string_view pickName,
                 std::string_view elementName);

// The first `sequence` under `vashel` whose attribute equals value; sets the
// clock's range from its start and end. Null when none. Attribute values are
// UTF-8, as the XML reader keeps them, so value must be UTF-8 too.
const XmlElement* findSequence(Player& player, std::string_view attribute, std::string_view value);

// Plays the range of action key (an existing slot).
void startAction(Player& player, Scene& scene, int key);

// 1..n without repeating the last pick when it can; 0 when n is 0 or less.
int chooseRandomAction(Player& player, int n);

// Shows one of the action's messages that suit the current hour.
void showActionMessage(Player& player, const Scene& scene, int key);

// The balloon's show, without layout. With a message list in progress its
// next entry shows (text, seconds, title and link are then ignored), or the
// balloon hides when the list is used up. Else a given text shows for
// `seconds` (0: an hour), unless a popup menu is open; otherwise the balloon
// hides. Nothing happens without a balloon port.
void showBalloon(Player& player, std::optional<std::string_view> text, int seconds,
                 std::string_view title = {}, std::string_view link = {});

// One tick of the balloon timer: once the current message has ended, the
// next list entry is shown and drawn (unless a popup menu is open), or the
// balloon hides again.
void balloonTimerFired(Player& player);

// Index of the first action named exactly name, or -1 (an empty name names
// no action).
int findActionByName(const Scene& scene, std::string_view name);

// One `anim` record of a downloaded animation set.
struct AnimDefinition {
  int key = -1;
  std::string name;
  int start = 0;
  int end = 0;
};

// Redefines actions from a downloaded set: each record with a key of 0 or
// more replaces that slot by a fresh action (no messages, camera or sound);
// a key beyond the table appends one.
void rebuildActions(Player& player, Scene& scene, std::span<const AnimDefinition> records);

// --- Current sound ----------------------------------------------------------
// Each acts only when currentSound is 0..99 and its slot holds a buffer.

void startCurrentSound(Player& player);
void stopCurrentSound(Player& player);
void pauseCurrentSound(Player& player);
void seekCurrentSound(Player& player, long byteOffset);

}  // namespace vashel
