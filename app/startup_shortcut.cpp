// The autostart entry's text and the toggle over the platform's files.
#include "app/startup_shortcut.h"

#include "platform/codepage.h"
#include "platform/file_write.h"
#include "platform/mount_info.h"
#include "platform/process_paths.h"

namespace vashel {
namespace {

// Characters that make the Exec parser split or expand a word unless quoted.
constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

// A value of string type: its backslashes and line breaks escaped. Values
// here never start with a space (paths are absolute), so \s is not needed.
std::string escapeString(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (const char c : value) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c; break;
    }
  }
  return out;
}

// Empty when `value` can stand in an entry; else why not.
std::string whyNotWritable(std::string_view what, std::string_view value) {
  for (std::size_t at = 0; at < value.size();) {
    const auto byte = static_cast<unsigned char>(value[at]);
    if ((byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r') || byte == 0x7f) {
      return std::string(what) + " holds a control character";
    }
    const std::size_t length = wellFormedUtf8Length(value.substr(at));
    if (length == 0) return std::string(what) + " is not UTF-8";
    at += length;
  }
  return {};
}

void report(std::FILE* err, const std::string& line) {
  std::fprintf(err, "start-up entry: %s\n", line.c_str());
  std::fflush(err);
}

}  // namespace

std::string execWord(std::string_view word) {
  std::string text;
  text.reserve(word.size() + 2);
  for (const char c : word) {
    if (c == '%') text += '%';  // "%%" is a literal percent, not a field code
    text += c;
  }
  if (!word.empty() && text.find_first_of(kReserved) == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::optional<std::string> autostartEntryText(const AutostartEntry& entry, std::string& error) {
  const std::pair<std::string_view, const std::string&> values[] = {
      {"the program's path", entry.program},
      {"the current directory", entry.workingDirectory},
      {"the scene file name", entry.sceneFileName},
      {"the character's name", entry.name},
  };
  for (const auto& [what, value] : values) {
    error = whyNotWritable(what, value);
    if (!error.empty()) return std::nullopt;
  }
  std::string exec = execWord(entry.program);
  // No scene name: the program takes its default scene, as with no argument.
  if (!entry.sceneFileName.empty()) exec += " " + execWord(entry.sceneFileName);
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" + escapeString(entry.name) + "\n"
         "Comment=Vashelへのショートカット\n"
         "Exec=" + escapeString(exec) + "\n"
         "Path=" + escapeString(entry.workingDirectory) + "\n";
}

ShortcutChange toggleAutostartEntry(const std::string& configHome, const AutostartEntry& entry,
                                    std::FILE* err) {
  if (configHome.empty()) {
    report(err, "no configuration folder (neither XDG_CONFIG_HOME nor HOME is an absolute path)");
    return ShortcutChange::Unchanged;
  }
  const std::string folder = configHome + "/autostart";
  const std::string path = folder + "/" + std::string(kAutostartFileName);
  std::string error;
  switch (pathKind(path)) {
    case PathKind::Folder:
      report(err, path + " is a folder");
      return ShortcutChange::Unchanged;
    case PathKind::File:
    case PathKind::Other:
      if (removeFile(path, error)) return ShortcutChange::Removed;
      report(err, error);
      return ShortcutChange::Unchanged;
    case PathKind::Missing: break;
  }
  if (entry.program.empty() || entry.workingDirectory.empty()) {
    report(err, entry.program.empty() ? "the program's own path cannot be read"
                                      : "the current directory cannot be read");
    return ShortcutChange::Unchanged;
  }
  const std::optional<std::string> text = autostartEntryText(entry, error);
  if (!text) {
    report(err, error);
    return ShortcutChange::Unchanged;
  }
  // Readable by the session's tools like any entry there; nothing secret in it.
  if (!makeFolders(folder, error) || !writeFileAtomically(path, *text, 0644, error)) {
    report(err, error);
    return ShortcutChange::Unchanged;
  }
  return ShortcutChange::Created;
}

ShortcutChange toggleOwnAutostartEntry(const std::string& sceneFileName,
                                       std::string_view displayName, std::FILE* err) {
  const AutostartEntry entry{executablePath(), currentDirectory(), sceneFileName,
                             std::string(displayName)};
  return toggleAutostartEntry(userConfigHome(), entry, err);
}

bool currentDirectoryOnOpticalMedia() { return directoryOnOpticalMedia(currentDirectory()); }

}  // namespace vashel
