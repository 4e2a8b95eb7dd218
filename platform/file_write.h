// Writing and removing the user's own files: folders created as needed, a
// file replaced in one step so that a reader never sees half of it.
#pragma once

#include <string>
#include <string_view>

namespace vashel {

enum class PathKind { Missing, File, Folder, Other };  // Other: a link, FIFO, device, ...

// What `path` names itself (symbolic links are not followed); Missing also
// when it cannot be looked at.
PathKind pathKind(const std::string& path);

// Creates `path` and any missing parent folders, new ones with mode 0700.
// True when it is a folder afterwards; else `error` says why, in one line.
bool makeFolders(const std::string& path, std::string& error);

// Writes `bytes` to a new file beside `path`, flushes it to disk and renames
// it over `path`, so that `path` holds either the old or the whole new text.
// The file gets `mode`. On failure nothing is left behind and `error` says why.
bool writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                         std::string& error);

// Removes the name `path` (a link itself, not what it points to).
bool removeFile(const std::string& path, std::string& error);

}  // namespace vashel
