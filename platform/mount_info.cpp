// The mount table reader: /proc/self/mountinfo, one mount per line.
#include "platform/mount_info.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/regular_file.h"

namespace vashel {
namespace {

// The kernel's table is a few kilobytes; a cap keeps a strange /proc bounded.
constexpr std::uint64_t kMaxMountinfoBytes = 16u << 20;

std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    const std::size_t end = line.find(' ', at);
    const std::size_t stop = end == std::string_view::npos ? line.size() : end;
    if (stop > at) fields.push_back(line.substr(at, stop - at));
    at = stop + 1;
  }
  return fields;
}

bool isOctal(char c) { return c >= '0' && c <= '7'; }

// The kernel writes space, tab, newline and backslash in mount points as a
// backslash and three octal digits.
std::string unescape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) &&
        isOctal(field[i + 2]) && isOctal(field[i + 3])) {
      out += static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                               (field[i + 3] - '0'));
      i += 3;
    } else {
      out += field[i];
    }
  }
  return out;
}

// Whether `mountPoint` is `path` or one of its parent folders.
bool holds(std::string_view mountPoint, std::string_view path) {
  if (mountPoint.empty() || mountPoint[0] != '/') return false;
  if (mountPoint == "/") return true;
  if (path.substr(0, mountPoint.size()) != mountPoint) return false;
  return path.size() == mountPoint.size() || path[mountPoint.size()] == '/';
}

}  // namespace

std::string mountTypeAt(std::string_view mountinfo, std::string_view path) {
  std::string type;
  // Mount points are absolute: a relative path has no answer here.
  if (path.empty() || path[0] != '/') return type;
  std::size_t bestLength = 0;
  bool found = false;
  std::size_t at = 0;
  while (at < mountinfo.size()) {
    std::size_t end = mountinfo.find('\n', at);
    if (end == std::string_view::npos) end = mountinfo.size();
    const std::vector<std::string_view> fields = splitFields(mountinfo.substr(at, end - at));
    at = end + 1;
    // id parent major:minor root mount-point options [optional...] - type source super-options
    if (fields.size() < 8) continue;
    std::size_t separator = 6;
    while (separator < fields.size() && fields[separator] != "-") ++separator;
    if (separator + 1 >= fields.size()) continue;
    const std::string mountPoint = unescape(fields[4]);
    if (!holds(mountPoint, path)) continue;
    if (found && mountPoint.size() < bestLength) continue;
    found = true;
    bestLength = mountPoint.size();
    type = std::string(fields[separator + 1]);
  }
  return type;
}

bool isOpticalFileSystem(std::string_view type) { return type == "iso9660" || type == "udf"; }

bool directoryOnOpticalMedia(const std::string& path) {
  if (path.empty()) return false;
  static const char kTable[] = "/proc/self/mountinfo";
  std::string text;
  const FileStatus status = readRegularFile(kTable, kMaxMountinfoBytes, text);
  if (status != FileStatus::Ok) {
    std::fprintf(stderr, "%s: %s\n", kTable, fileStatusText(status, kMaxMountinfoBytes).c_str());
    return false;
  }
  return isOpticalFileSystem(mountTypeAt(text, path));
}

}  // namespace vashel
