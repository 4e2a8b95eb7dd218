// The diagnostic key commands and the play statistics box they request.
#include <algorithm>

#include "anim/clock.h"
#include "app/shell.h"
#include "platform/codepage.h"

namespace vashel {
namespace {

const char* onOff(bool on) { return on ? "ON" : "OFF"; }

// Where the current sound stands at the frame shown: the time since the
// action's first frame at the animation time base, as bytes of its data.
long soundOffsetForFrame(const Player& player) {
  const SoundPort* sound = player.ports.sound;
  const int slot = player.currentSound;
  if (sound == nullptr || slot < 0 || slot >= kSoundSlots) return 0;
  // In 64 bits: a range may start near the lowest int frame and end near the highest.
  const long long frames =
      static_cast<long long>(roundFrame(player.clock.currentFrame)) - player.clock.startFrame;
  if (frames <= 0) return 0;
  return static_cast<long>(frames * kAnimFrameMs * static_cast<double>(sound->bytesPerSecond(slot)) /
                           1000.0);
}

}  // namespace

void handleDebugKey(AppState& state, ShellPort& port, char key) {
  std::FILE* out = state.shell.out;
  PlayerClock& clock = state.player.clock;
  RenderFlags& flags = state.render.flags;
  std::fprintf(out, "[KEY (%c)]\n", key);
  auto toggle = [out](std::uint8_t& flag, const char* name) {
    flag = flag ? 0 : 1;
    std::fprintf(out, "  %s %s\n", name, onOff(flag != 0));
  };
  auto toggleBool = [out](bool& flag, const char* name) {
    flag = !flag;
    std::fprintf(out, "  %s %s\n", name, onOff(flag));
  };
  switch (key) {
    case ' ': {
      setPaused(state, port, clock.playState != kPaused);
      state.render.selectedJoint = -1;
      state.render.selectedAxisMask = 0;
      state.render.selectionIndex = 0;
      state.render.pickState = kNoPick;
      const bool soundOn = state.player.soundEnabled && state.settings.nosound == 0;
      if (soundOn && clock.playState == kPlaying) {
        seekCurrentSound(state.player, soundOffsetForFrame(state.player));
      } else {
        std::fprintf(out, "  Pause\n");
        pauseCurrentSound(state.player);
      }
      break;
    }
    case '.': std::fprintf(out, "  Next frame[%d]\n", stepForward(clock)); break;
    case ',': std::fprintf(out, "  Prev frame[%d]\n", stepBack(clock)); break;
    case 'A':
    case 'a':
      state.shell.debugNumber = key == 'A' ? state.shell.debugNumber + 1
                                           : std::max(0, state.shell.debugNumber - 1);
      std::fprintf(out, "  setNewAction[%d]\n", state.shell.debugNumber);
      setNewAction(state.player, state.scene, state.shell.debugNumber, {}, {});
      break;
    case 'M':
    case 'm':
      state.shell.debugNumber = key == 'M' ? state.shell.debugNumber + 1
                                           : std::max(0, state.shell.debugNumber - 1);
      std::fprintf(out, "  Show Message[%d]\n", state.shell.debugNumber);
      showActionMessage(state.player, state.scene, state.shell.debugNumber);
      break;
    case 'F':
    case 'f':
      clock.playState = kFrameWalk;
      std::fprintf(out, "  Frame walk mode\n");
      break;
    case 'Z':
    case 'z':
      state.render.pickState = state.render.pickState == kNoPick ? kPickToPlay : kNoPick;
      std::fprintf(out, "  Picking %s\n", onOff(state.render.pickState != kNoPick));
      break;
    case 'J': case 'j': toggle(flags.joint, "Joint"); break;
    case 'L': case 'l': toggle(flags.light, "Light"); break;
    case 'P': case 'p': toggle(flags.polygon, "Polygon"); break;
    case 'G': case 'g': toggle(flags.guide, "Guide"); break;
    case 'T': case 't': toggle(flags.texture, "Texture"); break;
    case 'B': case 'b': toggleBool(state.shell.bitmapFlag, "Bitmap"); break;
    case 'R': case 'r': toggleBool(state.shell.repeatFlag, "Repeat"); break;
    case 'I':
    case 'i':
      state.player.statsRequested = true;
      std::fprintf(out, "  Show Stat ON\n");
      break;
    case 'q':
      std::fprintf(out, "  Reset Wave\n");
      clock.currentFrame = clock.startFrame;
      clock.playState = kPaused;
      stopCurrentSound(state.player);
      break;
    default:
      if (key >= '0' && key <= '9') {
        for (Joint& joint : state.scene.joints) {
          auto& r = joint.cachedRotation;
          std::fprintf(out, "%s: ", convertToUtf8(kDataCodePage, joint.name).c_str());
          std::fprintf(out, "%g %g %g --> ", r[0], r[1], r[2]);
          for (double& angle : r) angle *= 2.0;
          std::fprintf(out, "%g %g %g\n", r[0], r[1], r[2]);
        }
      } else {
        std::fprintf(out, "  undefined\n");
      }
      break;
  }
  if (clock.playState != kPlaying) {
    std::fprintf(out, "  KeyCommand draw\n");
    port.renderFrame(false);
  }
}

void showPlayStats(AppState& /*state*/, ShellPort& port, const std::string& text) {
  MessageBoxOptions options;
  options.ownedByMainWindow = true;
  port.ui().messageBox("PLAYSTAT", text, MessageIcon::Information, options);
}

}  // namespace vashel
