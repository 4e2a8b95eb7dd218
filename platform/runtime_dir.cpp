// The private runtime folder over stat and mkdir.
#include "platform/runtime_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace vashel {
namespace {

// Empty when `info` is a folder of this user's that group and others cannot
// use; else why it is not.
std::string whyNotPrivate(const std::string& path, const struct stat& info) {
  if (S_ISLNK(info.st_mode)) return path + " is a symbolic link";
  if (!S_ISDIR(info.st_mode)) return path + " is not a folder";
  if (info.st_uid != ::getuid()) return path + " belongs to another user";
  if ((info.st_mode & 077) != 0) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%03o", static_cast<unsigned>(info.st_mode & 0777));
    return path + " is open to other users (mode " + mode + ")";
  }
  return {};
}

}  // namespace

RuntimeDir privateRuntimeDir(bool create) {
  return privateRuntimeDir(std::getenv("XDG_RUNTIME_DIR"), std::getenv("TMPDIR"), create);
}

RuntimeDir privateRuntimeDir(const char* xdgRuntimeDir, const char* tmpDir, bool create) {
  if (xdgRuntimeDir != nullptr && xdgRuntimeDir[0] == '/') {
    struct stat info {};
    // A session folder that is missing or shared is passed over; the
    // fallback is checked on its own.
    if (::stat(xdgRuntimeDir, &info) == 0 && whyNotPrivate(xdgRuntimeDir, info).empty()) {
      return {xdgRuntimeDir, {}};
    }
  }

  std::string path = tmpDir != nullptr && tmpDir[0] == '/' ? tmpDir : "/tmp";
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  if (path.back() != '/') path += '/';
  path += "vashel-" + std::to_string(::getuid());

  RuntimeDir result;
  if (create && ::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    result.error = "cannot create " + path + ": " + std::strerror(errno);
    return result;
  }
  // lstat: a link planted under the name must not lead elsewhere.
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    result.missing = errno == ENOENT;
    result.error = path + ": " + std::strerror(errno);
    return result;
  }
  result.error = whyNotPrivate(path, info);
  if (result.error.empty()) result.path = std::move(path);
  return result;
}

}  // namespace vashel
