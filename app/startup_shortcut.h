// The start-up shortcut: an XDG autostart entry, Vashel.desktop, that starts
// the character again with its scene when the user logs in. The command
// toggles it: present, it is removed; absent, it is written.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace vashel {

struct AutostartEntry {
  std::string program;           // absolute path of the program to start
  std::string workingDirectory;  // where the scene and the files beside it are looked for
  std::string sceneFileName;     // the program's one argument, as it was given
  std::string name;              // the character's display name, UTF-8
};

inline constexpr std::string_view kAutostartFileName = "Vashel.desktop";

// One word of an Exec value as the Desktop Entry rules write it: '%' doubled,
// the word in double quotes with '"', '`', '$' and '\' escaped when it holds a
// reserved character or is empty. The string-value escapes come on top
// (autostartEntryText).
std::string execWord(std::string_view word);

// The whole file, UTF-8. None, with `error` set, when a value cannot be
// written in an entry: bytes that are not UTF-8, or control characters other
// than tab, newline and carriage return.
std::optional<std::string> autostartEntryText(const AutostartEntry& entry, std::string& error);

enum class ShortcutChange { Created, Removed, Unchanged };

// Removes <configHome>/autostart/Vashel.desktop when it is there; else writes
// it from `entry`, creating the folder. Failures change nothing and say why
// in one line on `err`; so does an empty `configHome` (no home to write in).
ShortcutChange toggleAutostartEntry(const std::string& configHome, const AutostartEntry& entry,
                                    std::FILE* err);

// The same for this process: the configuration folder of the user, the
// program's own path and the current directory.
ShortcutChange toggleOwnAutostartEntry(const std::string& sceneFileName,
                                       std::string_view displayName, std::FILE* err);

// Whether the current directory is on a disc, where no entry may point.
bool currentDirectoryOnOpticalMedia();

}  // namespace vashel
