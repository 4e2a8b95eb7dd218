// libFuzzer entry for the companion message file reader: the bytes are the
// file; a few action slots exist so that messages attach to them.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "scene/loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;  // fmemopen refuses an empty buffer
  vashel::Scene scene;
  for (int slot : {0, 1, 5, 99, 999}) scene.action(slot)->id = slot;
  vashel::LoadHooks hooks;
  std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "rb");
  if (!file) return 0;
  vashel::readMessageFile(file, scene, hooks);
  std::fclose(file);
  return 0;
}
