// One GL texture per entry of the scene's texture-name list, from TGA files
// found by base name or full path, or from pixels embedded in the scene.
#pragma once

#include <cstdio>

#include "render/render_state.h"
#include "scene/model.h"

namespace vashel {

// The part of a path after its last '/' (the whole path when it has none).
std::string textureBaseName(const std::string& path);

// The largest power of two not above size (1 for a size of 1 or less).
int powerOfTwoBelow(int size);

// Generates the 128 texture names and uploads entry i (i below 128) into
// name i: the TGA file of the base name in the working directory, else the
// embedded image of the full path, else the TGA file of the full path.
// Sizes that are not powers of two are resampled down. A texture found
// nowhere, or larger than GL_MAX_TEXTURE_SIZE after that step, is reported on
// `diagnostics` and its name marked -1; so is a TGA file that is there but
// refused (its reason on a line of its own). Never throws. Empties the
// scene's embedded image list afterwards. Needs a current context.
void uploadTextures(Scene& scene, RenderState& state, std::FILE* diagnostics = stderr);

}  // namespace vashel
