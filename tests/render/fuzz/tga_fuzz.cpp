// libFuzzer entry for the TGA reader: the first byte picks the requested
// output format, the rest is the file.
#include <cstddef>
#include <cstdint>
#include <span>

#include "render/tga.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  vashel::TgaReader reader;
  const auto image = reader.decode(std::span(data + 1, size - 1), data[0] % 5);
  // A decoded image must hold exactly its pixels.
  if (image && image->pixels.size() != 4 * std::size_t(image->width) * std::size_t(image->height))
    __builtin_trap();
  return 0;
}
