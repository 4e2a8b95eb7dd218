// The user's private runtime folder: where per-user sockets live, out of
// reach of other users.
#pragma once

#include <string>

namespace vashel {

struct RuntimeDir {
  std::string path;      // empty when there is no usable folder
  std::string error;     // why not, one line
  bool missing = false;  // the fallback folder does not exist (and was not to be created)
};

// $XDG_RUNTIME_DIR when it is a folder this user owns that nobody else may
// use; otherwise "<$TMPDIR or /tmp>/vashel-<uid>", created with mode 0700 when
// `create` is set. That fallback is refused when it is not a real folder
// (a symbolic link, a file), belongs to another user or is open to others:
// anyone may create a name in /tmp first.
RuntimeDir privateRuntimeDir(bool create);

// The same over given values of XDG_RUNTIME_DIR and TMPDIR (null: unset).
RuntimeDir privateRuntimeDir(const char* xdgRuntimeDir, const char* tmpDir, bool create);

}  // namespace vashel
