// The process's own paths over getcwd, readlink and the environment.
#include "platform/process_paths.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace vashel {
namespace {

bool ends(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

std::string currentDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
      // Linux marks a folder outside this process's root "(unreachable)".
      if (buffer[0] != '/') return {};
      return buffer.data();
    }
    if (errno != ERANGE || buffer.size() >= (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string executablePath() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t got = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (got < 0) return {};
    if (static_cast<std::size_t>(got) < buffer.size()) {
      std::string path(buffer.data(), static_cast<std::size_t>(got));
      // A rebuilt or removed program: the link names a file that is gone.
      if (path.empty() || path[0] != '/' || ends(path, " (deleted)")) return {};
      return path;
    }
    if (buffer.size() >= (1u << 20)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::string userConfigHome() {
  return userConfigHome(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::string userConfigHome(const char* xdgConfigHome, const char* home) {
  std::string path;
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    path = xdgConfigHome;
  } else if (home != nullptr && home[0] == '/') {
    path = home;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    path += path == "/" ? ".config" : "/.config";
  }
  // Trailing slashes would double in the paths built on it.
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace vashel
