// Truevision TGA reader for textures: every image type, colour maps, 15, 16,
// 24 and 32-bit values, run-length packets and both orientations, into a
// bottom-up RGBA buffer with colour premultiplied by alpha.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vashel {

// Last-error codes of the reader.
enum TgaError {
  kTgaNoError = 0,
  kTgaBadHeader = 1,
  kTgaCannotOpen = 2,
  kTgaBadFormat = 3,
  kTgaUnexpectedEof = 4,
  kTgaNoData = 5,
  kTgaColormapForGray = 6,
  kTgaBadColormapEntrySize = 7,
  kTgaBadColormap = 8,
  kTgaCannotRead = 9,
  kTgaUnknownType = 10,
  kTgaZeroSize = 11,
  // Refusals that keep memory bounded by what is of any use.
  kTgaTooLarge = 12,      // wider or taller than kTgaMaxDimension
  kTgaNotRegular = 13,    // a directory, FIFO or device, not a file
  kTgaFileTooLarge = 14,  // more bytes than kTgaMaxFileBytes
  kTgaOutOfMemory = 15,
};

// No GL implementation takes a texture beyond this (the software rasteriser's
// maximum), so larger images are refused before their pixels are allocated.
inline constexpr int kTgaMaxDimension = 16384;
// The largest image of that size, uncompressed, with room for the ID field,
// a colour map and a footer.
inline constexpr std::uint64_t kTgaMaxFileBytes =
    std::uint64_t{kTgaMaxDimension} * kTgaMaxDimension * 4 + (1u << 20);

// The text of a last-error code; "unknown error" for any other value.
const char* tgaErrorText(int code);

struct TgaImage {
  int width = 0;
  int height = 0;
  // width x height pixels, bytes red, green, blue, alpha; first row = bottom
  // row of the image; colour premultiplied by alpha.
  std::vector<std::uint8_t> pixels;
};

// Reads TGA images and keeps the code of the last failure. `format` is the
// requested output format 0..4 (the output is 32-bit for all of them). Never
// throws: every failure, running out of memory included, is a code.
class TgaReader {
 public:
  std::optional<TgaImage> loadTGA(const std::string& path, int format = 4);
  std::optional<TgaImage> decode(std::span<const std::uint8_t> file, int format = 4);
  int lastError() const { return lastError_; }

 private:
  std::optional<TgaImage> decodeImage(std::span<const std::uint8_t> file);

  int lastError_ = kTgaNoError;
};

}  // namespace vashel
