// glj wav IN OUT: the samples a sound file would be played with, after the
// chunk walk, the conversion to PCM and, for names ending in "z", the
// descrambling, written as a plain PCM WAVE file so that authors can listen
// to what the character will play.
#include <string>
#include <vector>

#include "platform/file_write.h"
#include "sound/wave.h"
#include "tools/glj/command.h"

namespace vashel::glj {
namespace {

int wav(const std::vector<std::string>& args) {
  if (args.size() != 2 || args[0].starts_with("-") || args[1].starts_with("-")) {
    return fail("usage: glj wav IN.wav OUT.wav");
  }
  std::string problem;
  const auto sound = loadSound(args[0], problem);
  if (!sound) return fail(args[0] + ": " + problem);
  const std::vector<char> image = pcmWaveImage(*sound);
  std::string error;
  if (!writeFileAtomically(args[1], std::string_view(image.data(), image.size()), 0644, error)) {
    return fail(args[1] + ": " + error);
  }
  return 0;
}

const GljCommand command("wav", "IN.wav OUT.wav", wav);

}  // namespace
}  // namespace vashel::glj
