// Loading a scene for a glj command: the program's own loader, with its
// diagnostics on standard error and one-line failures.
#pragma once

#include <string>

#include "scene/loader.h"

namespace vashel::glj {

// Loads `fileName` into `scene` (fresh) as the program would. Returns 0, or
// the exit code after printing one line: the file cannot be read, or nothing
// in it is scene text.
int loadSceneForTool(const std::string& fileName, Scene& scene);

}  // namespace vashel::glj
