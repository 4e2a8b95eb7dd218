// File writing over POSIX calls.
#include "platform/file_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vashel {
namespace {

std::string failure(const std::string& what, const std::string& path, int error = errno) {
  return what + " " + path + ": " + std::strerror(error);
}

bool isFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

PathKind pathKind(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return PathKind::Missing;
  if (S_ISREG(info.st_mode)) return PathKind::File;
  if (S_ISDIR(info.st_mode)) return PathKind::Folder;
  return PathKind::Other;
}

bool makeFolders(const std::string& path, std::string& error) {
  if (path.empty()) {
    error = "no folder given";
    return false;
  }
  // Each prefix ending before a slash, then the whole path.
  for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
    const std::string prefix = at == std::string::npos ? path : path.substr(0, at);
    // An existing folder may answer with another error than EEXIST (a
    // read-only parent), so what is there decides.
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) {
      const int why = errno;
      if (!isFolder(prefix)) {
        error = failure("cannot create", prefix, why);
        return false;
      }
    }
    if (at == std::string::npos) break;
  }
  if (!isFolder(path)) {
    error = path + " is not a folder";
    return false;
  }
  return true;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode,
                         std::string& error) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  // A hidden name, so that nobody who lists the folder takes it for the file.
  std::string temp = folder + "." + path.substr(slash == std::string::npos ? 0 : slash + 1) +
                     ".XXXXXX";
  const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error = failure("cannot create a file in", folder);
    return false;
  }
  bool ok = ::fchmod(fd, static_cast<mode_t>(mode)) == 0;
  if (!ok) error = failure("cannot set the mode of", temp);
  std::size_t written = 0;
  while (ok && written < bytes.size()) {
    const ssize_t got = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = false;
      error = failure("cannot write", temp);
    } else {
      written += static_cast<std::size_t>(got);
    }
  }
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    error = failure("cannot write", temp);
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    error = failure("cannot write", temp);
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    error = failure("cannot replace", path);
  }
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

bool removeFile(const std::string& path, std::string& error) {
  if (::unlink(path.c_str()) == 0) return true;
  error = failure("cannot remove", path);
  return false;
}

}  // namespace vashel
