// The mail socket's name from the environment, and the count's format.
#include "platform/mail_socket.h"

#include <cstdlib>

namespace vashel {

std::string mailSocketName(const char* display) {
  std::string name = "vezudovora";
  if (display == nullptr || display[0] == '\0') return name;
  std::string_view shown(display);
  if (const auto colon = shown.rfind(':'); colon != std::string_view::npos) {
    if (const auto dot = shown.find('.', colon); dot != std::string_view::npos) {
      shown = shown.substr(0, dot);
    }
  }
  shown = shown.substr(0, 64);  // the whole path must fit a socket address
  name += '-';
  for (const char ch : shown) {
    const bool plain = (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                       (ch >= '0' && ch <= '9') || ch == '.' || ch == ':' || ch == '-' ||
                       ch == '_';
    name += plain ? ch : '_';
  }
  return name;
}

RuntimeDir mailSocketPath(bool createFolder) {
  if (const char* path = std::getenv("VASHEL_MAIL_SOCKET"); path != nullptr && path[0] != '\0') {
    if (path[0] == '/') return {path, {}};
    return {{}, std::string("VASHEL_MAIL_SOCKET is not an absolute path: ") + path};
  }
  RuntimeDir folder = privateRuntimeDir(createFolder);
  if (!folder.path.empty()) folder.path += '/' + mailSocketName(std::getenv("DISPLAY"));
  return folder;
}

std::optional<std::uint32_t> parseMailCount(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  if (line.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (const char ch : line) {
    if (ch < '0' || ch > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(ch - '0');
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace vashel
