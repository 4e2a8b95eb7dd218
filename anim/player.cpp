// Player set-up, the current-sound operations, action lookup and the
// rebuilding of actions from a downloaded animation set.
#include "anim/player.h"

namespace vashel {

void seedRandomState(Player& player, std::uint32_t seconds) { player.randomState = seconds; }

void applySceneSettings(Player& player, const Scene& scene) {
  if (const auto& random = scene.settings.randomAction) {
    player.randomMax = (*random)[0];
    player.randomTime = (*random)[1];
    player.randomJitter = (*random)[2];
  }
  if (const auto& message = scene.settings.randomMessage) {
    player.randomMessageMin = (*message)[0];
    player.randomMessageMax = (*message)[1];
  }
}

double startPlayback(Player& player, Scene& scene, int startupSlot) {
  applySceneSettings(player, scene);
  setRange(player.clock, scene.sceneStartFrame, scene.sceneEndFrame);
  player.clock.currentFrame = 1.0;
  if (startupSlot >= 0) setNewAction(player, scene, startupSlot, {}, {});
  return player.clock.currentFrame;
}

int findActionByName(const Scene& scene, std::string_view name) {
  // An empty name finds the first slot without a name, like any other name: a
  // pick mesh without a picking name thus still plays the sequence that
  // names the mesh, or else that slot (the idle action when it is undefined).
  return scene.findAction(name);
}

void rebuildActions(Player& player, Scene& scene, std::span<const AnimDefinition> records) {
  if (player.log != nullptr) {
    std::fprintf(player.log, "キー数: %d\n", static_cast<int>(records.size()));
  }
  for (const AnimDefinition& record : records) {
    if (player.log != nullptr) {
      std::fprintf(player.log, "キー再構築 key:%d, (%d, %d) obj=%s\n", record.key, record.start,
                   record.end, record.name.c_str());
    }
    if (record.key < 0) continue;
    Action action;
    action.name = record.name;
    action.startFrame = record.start;
    action.endFrame = record.end;
    if (static_cast<std::size_t>(record.key) < scene.actions.size()) {
      action.id = record.key;
      scene.actions[static_cast<std::size_t>(record.key)] = std::move(action);
    } else {
      action.id = static_cast<int>(scene.actions.size());
      scene.actions.push_back(std::move(action));
    }
  }
}

namespace {

bool currentSoundPlayable(const Player& player) {
  return player.ports.sound != nullptr && player.currentSound >= 0 &&
         player.currentSound < kSoundSlots && player.ports.sound->holdsBuffer(player.currentSound);
}

}  // namespace

void startCurrentSound(Player& player) {
  if (currentSoundPlayable(player)) player.ports.sound->start(player.currentSound);
}

void stopCurrentSound(Player& player) {
  if (currentSoundPlayable(player)) player.ports.sound->stop(player.currentSound);
}

void pauseCurrentSound(Player& player) {
  if (currentSoundPlayable(player)) player.ports.sound->pause(player.currentSound);
}

void seekCurrentSound(Player& player, long byteOffset) {
  if (currentSoundPlayable(player)) player.ports.sound->seek(player.currentSound, byteOffset);
}

}  // namespace vashel
