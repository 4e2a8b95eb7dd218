// Where this process runs from and where the user's configuration lives.
#pragma once

#include <string>

namespace vashel {

// The current directory; empty when it cannot be had (removed, too deep).
std::string currentDirectory();

// The absolute path of the running program (/proc/self/exe); empty when it
// cannot be read or the program's file was deleted since it started.
std::string executablePath();

// ${XDG_CONFIG_HOME:-$HOME/.config}. Relative values count as unset, as the
// base-directory rules ask; empty when neither gives an absolute folder.
std::string userConfigHome();
// The same over given values (null: unset).
std::string userConfigHome(const char* xdgConfigHome, const char* home);

}  // namespace vashel
