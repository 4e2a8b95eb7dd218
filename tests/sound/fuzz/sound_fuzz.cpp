// libFuzzer entry for sound files: the first byte's low bit picks a name that
// is descrambled, the rest is the WAVE image (chunk walk and conversion).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "sound/wave.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::span<const char> image(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string problem;
  const auto sound = vashel::decodeSound(image, data[0] & 1 ? "fuzz.wavz" : "fuzz.wav", problem);
  // A sound holds whole frames of a playable layout; a refusal says why.
  if (sound && (sound->data.empty() || sound->format.blockAlign() <= 0 ||
                sound->data.size() % static_cast<std::size_t>(sound->format.blockAlign()) != 0))
    __builtin_trap();
  if (!sound && problem.empty()) __builtin_trap();
  return 0;
}
