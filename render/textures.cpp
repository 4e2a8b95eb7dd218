// Texture upload: TGA files or embedded pixels, resampled to powers of two.
#include "render/textures.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cstdint>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "render/tga.h"

namespace vashel {

std::string textureBaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int powerOfTwoBelow(int size) {
  int power = 1;
  while (power <= size / 2) power *= 2;
  return power;
}

namespace {

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
};

// Embedded pixels hold R in the low byte; a list shorter than width x height
// is completed with transparent pixels.
Pixels fromEmbedded(const TextureImage& image) {
  Pixels pixels;
  if (image.width <= 0 || image.height <= 0) return pixels;
  const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
  pixels.width = image.width;
  pixels.height = image.height;
  pixels.rgba.assign(count * 4, 0);
  const std::size_t stored = std::min(count, image.pixels.size());
  for (std::size_t i = 0; i < stored; ++i) {
    const std::uint32_t value = image.pixels[i];
    for (int byte = 0; byte < 4; ++byte) {
      pixels.rgba[i * 4 + byte] = static_cast<std::uint8_t>(value >> (8 * byte));
    }
  }
  return pixels;
}

Pixels fromTga(TgaImage&& image) {
  return Pixels{image.width, image.height, std::move(image.pixels)};
}

}  // namespace

void uploadTextures(Scene& scene, RenderState& state, std::FILE* diagnostics) {
  GLuint names[kTextureNameCount] = {};
  glGenTextures(kTextureNameCount, names);
  for (int i = 0; i < kTextureNameCount; ++i) state.textureNames[i] = names[i];
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);

  TgaReader reader;
  auto report = [diagnostics](const std::string& path, const std::string& problem) {
    if (diagnostics) {
      std::fprintf(diagnostics, "%s: %s\n", convertToUtf8(0, path).c_str(), problem.c_str());
    }
  };
  // A file that is there but unusable is worth a line of its own; a missing
  // one is only reported when the texture is found nowhere.
  auto loadFile = [&](const std::string& path) -> std::optional<TgaImage> {
    std::optional<TgaImage> image = reader.loadTGA(path, 4);
    if (!image && reader.lastError() != kTgaCannotOpen) {
      report(path, tgaErrorText(reader.lastError()));
    }
    return image;
  };

  const std::size_t count =
      std::min(scene.textureNames.size(), static_cast<std::size_t>(kTextureNameCount));
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& path = scene.textureNames[i];
    glBindTexture(GL_TEXTURE_2D, names[i]);

    auto embedded = std::find_if(scene.textureImages.begin(), scene.textureImages.end(),
                                 [&path](const TextureImage& image) { return image.name == path; });
    Pixels pixels;
    bool found = true;
    try {
      if (auto file = loadFile(textureBaseName(path))) {
        pixels = fromTga(std::move(*file));
      } else if (embedded != scene.textureImages.end()) {
        pixels = fromEmbedded(*embedded);
      } else if (path != textureBaseName(path)) {
        if (auto full = loadFile(path)) pixels = fromTga(std::move(*full));
      }
      found = !pixels.rgba.empty();
      if (found) {
        const int w2 = powerOfTwoBelow(pixels.width);
        const int h2 = powerOfTwoBelow(pixels.height);
        if (w2 > maxSize || h2 > maxSize) {
          // GL would refuse the image without a word and leave the name empty.
          report(path, std::to_string(w2) + " x " + std::to_string(h2) +
                           " is larger than the largest texture of this GL (" +
                           std::to_string(maxSize) + "); drawn untextured");
          pixels = Pixels{};
        } else if (w2 != pixels.width || h2 != pixels.height) {
          std::vector<std::uint8_t> scaled(static_cast<std::size_t>(w2) * h2 * 4);
          gluScaleImage(GL_RGBA, pixels.width, pixels.height, GL_UNSIGNED_BYTE,
                        pixels.rgba.data(), w2, h2, GL_UNSIGNED_BYTE, scaled.data());
          pixels = Pixels{w2, h2, std::move(scaled)};
        }
      }
    } catch (const std::bad_alloc&) {
      report(path, "out of memory; drawn untextured");
      pixels = Pixels{};
    }

    state.textureOpaque[i] = false;
    if (!pixels.rgba.empty()) {
      bool opaque = true;
      for (std::size_t a = 3; a < pixels.rgba.size() && opaque; a += 4) {
        opaque = pixels.rgba[a] == 255;
      }
      state.textureOpaque[i] = opaque;
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    } else {
      if (!found) report(path, "ファイルないよ");
      state.textureNames[i] = -1;
    }
    glTexImage2D(GL_TEXTURE_2D, 0, 4, pixels.width, pixels.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 pixels.rgba.empty() ? nullptr : pixels.rgba.data());
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  scene.textureImages.clear();
  state.texturesUploaded = true;
}

}  // namespace vashel
