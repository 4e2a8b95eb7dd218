// The sample character's textures: the painted face, written as a TGA file,
// and the dress pattern, embedded in the scene file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/make_sample/sample_scene.h"

namespace vashel::sample {

// An RGBA image with 8-bit channels; row 0 is the bottom (v = 0).
struct Image {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4, straight alpha
};

Image paintFace(int size);
Image paintDress(int width, int height);

// A run-length encoded 24-bit TGA (image type 10), bottom row first. The
// alpha channel is dropped: both textures are opaque.
std::string encodeTga(const Image& image);

// Pixels as the scene file stores them: R in the low byte, then G, B, A.
EmbeddedTexture embed(const Image& image, const std::string& name);

}  // namespace vashel::sample
