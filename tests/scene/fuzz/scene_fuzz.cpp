// libFuzzer entry for the scene parser: the first byte picks the variant,
// the rest is the file text. Built only by compilers with -fsanitize=fuzzer.
#include <cstddef>
#include <cstdint>
#include <span>

#include "scene/loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  vashel::LoadOptions options;
  options.variant = static_cast<vashel::SceneVariant>(data[0] % 3);
  vashel::Scene scene;
  vashel::LoadHooks hooks;
  vashel::LoadStatus status;
  const std::span<const char> text(reinterpret_cast<const char*>(data) + 1, size - 1);
  vashel::parseScene(text, options, scene, hooks, status);
  return 0;
}
