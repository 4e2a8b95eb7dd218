// What plays next: sequences from message.xml, idle repetition, random
// actions, and the balloon messages that go with them.
#include <algorithm>
#include <climits>
#include <cstdlib>

#include "anim/player.h"
#include "messages/vocabulary.h"
#include "platform/codepage.h"
#include "xml/xml.h"

namespace vashel {
namespace {

constexpr int kRandomTries = 100;
constexpr std::size_t kMinFeedSeconds = 10;

// rand() modulo n, for n > 0.
std::size_t drawBelow(Player& player, std::size_t n) {
  return static_cast<std::size_t>(static_cast<unsigned>(player.ports.random->rand())) % n;
}

// A decimal attribute read as atoi reads it; absent reads as 0, and a value
// beyond int is clamped instead of overflowing.
int decimalAttribute(const XmlElement& element, std::string_view name) {
  const std::string* value = element.getAttribute(name);
  if (value == nullptr) return 0;
  const long long number = std::strtoll(value->c_str(), nullptr, 10);
  return static_cast<int>(std::clamp<long long>(number, INT_MIN, INT_MAX));
}

std::uint32_t balloonNow(Player& player) {
  return static_cast<std::uint32_t>(player.ports.time->nowMs());
}

void showInBalloon(Player& player, std::optional<std::string_view> text, int seconds,
                   std::string_view title = {}, std::string_view link = {}) {
  BalloonPort* balloon = player.ports.balloon;
  if (balloon == nullptr) return;
  showBalloon(player, text, seconds, title, link);
  if (!player.isMenuOpen()) {
    balloon->layout(0);
    balloon->layout(1);
  }
}

// A sequence named by a random child of elementName when that element
// exists, else the sequence whose pick is pickName.
const XmlElement* chooseSequence(Player& player, std::string_view pickName,
                                 std::string_view elementName) {
  XmlElement* list = nullptr;
  if (!elementName.empty() && player.messageRoot != nullptr) {
    list = player.messageRoot->findElement(elementName);
  }
  if (list != nullptr) {
    const std::size_t count = list->childCount();
    if (count == 0) return nullptr;
    const XmlElement* child = list->child(drawBelow(player, count));
    const std::string* name = child->getAttribute("name");
    if (name == nullptr) return nullptr;
    return findSequence(player, "name", *name);
  }
  if (pickName.empty()) return nullptr;
  // Mesh names are code page 932 like all scene text; pick attributes are
  // UTF-8. Compared in UTF-8, a Japanese mesh name finds its sequence.
  return findSequence(player, "pick", convertToUtf8(kDataCodePage, pickName));
}

// The idle loop, which gives way to a random action every so often.
int repeatIdle(Player& player, const Scene& scene, int key) {
  if (key != 0) {
    player.idleRepeatCounter = 0;
    return key;
  }
  if (player.randomMax <= 0 || player.idleRepeatCounter < player.idleRepeatLimit) {
    ++player.idleRepeatCounter;
    return key;
  }
  key = chooseRandomAction(player, player.randomMax);
  const Action* action = scene.action(key);
  if (action == nullptr || static_cast<unsigned>(action->soundSlot) >= kSoundSlots) {
    if (player.log != nullptr) {
      std::fprintf(player.log, "[anim key(%d) is out of range] reset to 0: anim:%d   next: %d\n",
                   key, action != nullptr ? action->startFrame : 0,
                   action != nullptr ? action->endFrame : 0);
    }
    key = 0;
  }
  long long limit = static_cast<long long>(player.randomTime) + player.randomJitter;
  if (player.randomJitter > 0) {
    limit += static_cast<long long>(
        drawBelow(player, static_cast<std::size_t>(player.randomJitter) + 1));
  }
  player.idleRepeatLimit = static_cast<int>(std::clamp<long long>(limit, 1, INT_MAX));
  player.idleRepeatCounter = key == 0 ? 1 : 0;
  return key;
}

void switchCameraAndSound(Player& player, Scene& scene, const Action& action) {
  const int camera = scene.findCameraByName(action.cameraName);
  if (camera >= 0) scene.activeCamera = camera;

  stopCurrentSound(player);
  if (!player.isMuted()) {
    player.currentSound = action.soundSlot;
    player.soundRestart = true;
  }
}

// Now and then an idle message, else maybe a feed item.
void maybeShowMessage(Player& player, const Scene& scene, int key) {
  if (key == 0) {
    const std::int64_t now = player.ports.time->epochSeconds();
    if (now < player.nextMessageTime) return;
    std::int64_t next = now + player.randomMessageMin;
    if (player.randomMessageMax > player.randomMessageMin) {
      const long long span =
          static_cast<long long>(player.randomMessageMax) - player.randomMessageMin + 1;
      next += static_cast<std::int64_t>(drawBelow(player, static_cast<std::size_t>(span)));
    }
    player.nextMessageTime = next;
    if (drawBelow(player, 101) <= 10) {
      showActionMessage(player, scene, 0);
      return;
    }
  }

  if (drawBelow(player, 101) > 60) return;
  if (player.isMenuOpen()) return;
  const FeedSource* feed = player.ports.feed;
  if (feed == nullptr) return;
  const std::size_t count = feed->itemCount();
  if (count == 0) return;
  // Item 0 is the channel itself.
  const std::size_t index = count >= 3 ? 1 + drawBelow(player, count - 1) : 1;
  const std::optional<FeedItemText> item = feed->item(index);
  if (!item || item->description.empty()) return;
  // Longer texts stay longer: a fifth of a second per byte, at least 10 s.
  const std::size_t length = item->title.size() + item->description.size();
  const std::size_t seconds = std::clamp<std::size_t>(length / 5, kMinFeedSeconds, INT_MAX);
  showInBalloon(player, item->description, static_cast<int>(seconds), item->title, item->link);
}

}  // namespace

const XmlElement* findSequence(Player& player, std::string_view attribute, std::string_view value) {
  if (player.messageRoot == nullptr) return nullptr;
  const XmlElement* root = player.messageRoot->findElement("vashel");
  if (root == nullptr) return nullptr;
  for (std::size_t i = 0; i < root->childCount(); ++i) {
    const XmlElement* sequence = root->child(i);
    if (sequence->name() != "sequence") continue;
    const std::string* found = sequence->getAttribute(attribute);
    if (found == nullptr || *found != value) continue;
    setRange(player.clock, decimalAttribute(*sequence, "start"), decimalAttribute(*sequence, "end"));
    player.clock.playStartTime = player.ports.time->nowMs();
    // No statistics are printed for a sequence; without this they would grow
    // for as long as sequences replace the idle loop.
    player.clock.frameStats.clear();
    return sequence;
  }
  return nullptr;
}

void startAction(Player& player, Scene& scene, int key) {
  Action* action = scene.action(key);
  if (action == nullptr) return;
  ++action->playCount;
  setRange(player.clock, action->startFrame, action->endFrame);
  player.currentAction = key;
}

int chooseRandomAction(Player& player, int n) {
  if (n <= 0) return 0;
  for (int attempt = 0; attempt < kRandomTries; ++attempt) {
    std::uint32_t s = player.randomState;
    s = ((s << 1) ^ ((s >> 8) & 1u) ^ ((s >> 3) & 1u)) & 0x7FFFu;
    // Zero is a fixed point of the register; leaving it there would make
    // every later pick the same.
    if (s == 0) s = 1;
    player.randomState = s;
    const int r = static_cast<int>((s % 100000u) % static_cast<unsigned>(n)) + 1;
    if (r != player.lastRandomAction) {
      player.lastRandomAction = r;
      return r;
    }
  }
  return player.lastRandomAction;
}

void showActionMessage(Player& player, const Scene& scene, int key) {
  const Action* action = scene.action(key);
  if (action == nullptr) return;
  const LocalTime local = player.ports.time->localTime();
  const auto suits = [&](const MessageEntry& m) { return m.hour == -1 || m.hour == local.hour; };
  const auto eligible = static_cast<std::size_t>(
      std::count_if(action->messages.begin(), action->messages.end(), suits));
  if (eligible == 0 || action->messages.empty() || player.isMenuOpen()) return;

  std::size_t pick = eligible >= 2 ? drawBelow(player, eligible) : 0;
  for (const MessageEntry& message : action->messages) {
    if (!suits(message)) continue;
    if (pick-- != 0) continue;
    const std::string text = expandTimePlaceholders(message.text, local.hour, local.minute);
    showInBalloon(player, text, message.duration);
    return;
  }
}

void showBalloon(Player& player, std::optional<std::string_view> text, int seconds,
                 std::string_view title, std::string_view link) {
  BalloonPort* balloon = player.ports.balloon;
  if (balloon == nullptr) return;
  BalloonState& state = player.balloon;
  if (state.currentSequence != nullptr) {
    const SequenceMessage entry = takeNextEntry(state, balloonNow(player), *player.ports.random);
    if (entry.element != nullptr) {
      balloon->showEntry(entry.element->text(), entry.displayMs);
    } else {
      balloon->hide();
    }
    return;
  }
  if (text && !player.isMenuOpen()) {
    const int shownSeconds = startTimedMessage(state, balloonNow(player), seconds);
    balloon->showText(*text, shownSeconds, title, link);
    return;
  }
  balloon->hide();
}

void balloonTimerFired(Player& player) {
  if (player.ports.balloon == nullptr) return;
  if (!messageExpired(player.balloon, balloonNow(player))) return;
  const bool steppingList = player.balloon.currentSequence != nullptr;
  showBalloon(player, std::nullopt, 0);
  // An entry taken here is drawn at once. Left for the next action start,
  // it would be replaced by the following tick's entry first, and a
  // conversation would show only its opening line.
  if (steppingList && player.balloon.currentSequence != nullptr && !player.isMenuOpen()) {
    player.ports.balloon->layout(0);
    player.ports.balloon->layout(1);
  }
}

int setNewAction(Player& player, Scene& scene, int key, std::string_view pickName,
                 std::string_view elementName) {
  ++player.callCounter;
  const XmlElement* sequence = chooseSequence(player, pickName, elementName);

  if (sequence == nullptr) {
    if (player.callCounter > 1 && !scene.defaultMessage.text.empty()) {
      // Shown once, in place of this one action change.
      const std::string text = std::move(scene.defaultMessage.text);
      scene.defaultMessage.text.clear();
      showInBalloon(player, text, scene.defaultMessage.seconds);
      return 0;
    }
    key = repeatIdle(player, scene, key);
    printPlayStats(player);
    // Undefined actions, and numbers outside the table, play the idle action.
    const Action* chosen = scene.action(key);
    if (chosen == nullptr || !chosen->defined()) key = 0;
    startAction(player, scene, key);
    player.clock.frameStats.clear();
    player.clock.playTime = 0;
    player.clock.playStartTime = player.ports.time->nowMs();
    if (const Action* action = scene.action(key)) switchCameraAndSound(player, scene, *action);
    if (player.trace) player.trace(PlayerEvent{PlayerEvent::ActionStarted, key, nullptr});
  } else if (player.trace) {
    player.trace(PlayerEvent{PlayerEvent::SequenceStarted, key, sequence});
  }

  if (!player.firstCallDone) {
    player.firstCallDone = true;
    return 0;
  }

  if (sequence != nullptr) {
    // Only a sequence with messages takes the balloon: one without them
    // would end the message on show (the welcome, a feed item) at once.
    if (player.ports.balloon == nullptr || sequence->childCount() == 0) return 0;
    if (!pickName.empty() || player.balloon.currentSequence == nullptr) {
      startSequenceList(player.balloon, *sequence);
    }
    if (messageExpired(player.balloon, balloonNow(player))) showInBalloon(player, std::nullopt, 0);
    return 0;
  }

  maybeShowMessage(player, scene, key);
  return 0;
}

}  // namespace vashel
