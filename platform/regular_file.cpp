// Checked opening and whole-file reading over POSIX descriptors.
#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <new>
#include <stdexcept>

namespace vashel {
namespace {

// Opens without waiting for a writer (a FIFO would block in open itself),
// then looks at what was opened: a name checked before opening could be
// swapped in between. Returns the descriptor, or -1 with `status` set.
int openChecked(const std::string& path, std::uint64_t maxBytes, FileStatus& status,
                std::uint64_t& size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    status = FileStatus::CannotOpen;
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    status = FileStatus::ReadFailed;
  } else if (!S_ISREG(info.st_mode)) {
    status = FileStatus::NotRegular;
  } else if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > maxBytes) {
    status = FileStatus::TooLarge;
  } else {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    size = static_cast<std::uint64_t>(info.st_size);
    status = FileStatus::Ok;
    return fd;
  }
  ::close(fd);
  return -1;
}

template <typename Buffer>
FileStatus readInto(const std::string& path, std::uint64_t maxBytes, Buffer& out) {
  FileStatus status = FileStatus::Ok;
  std::uint64_t size = 0;
  const int fd = openChecked(path, maxBytes, status, size);
  if (fd < 0) return status;
  const std::size_t start = out.size();
  std::size_t used = 0;
  try {
    // One read for the size fstat gave, plus one byte to see the end. A file
    // that grows while it is read gets more room, up to one byte past the cap.
    out.resize(start + static_cast<std::size_t>(size) + 1);
    for (;;) {
      if (start + used == out.size()) {
        const std::uint64_t limit = maxBytes == UINT64_MAX ? maxBytes : maxBytes + 1;
        const std::uint64_t wanted =
            std::min<std::uint64_t>(limit, std::max<std::uint64_t>(2 * used, 1 << 16));
        out.resize(start + static_cast<std::size_t>(wanted));
      }
      const ssize_t got = ::read(fd, out.data() + start + used, out.size() - start - used);
      if (got < 0) {
        if (errno == EINTR) continue;
        status = FileStatus::ReadFailed;
        break;
      }
      if (got == 0) break;
      used += static_cast<std::size_t>(got);
      if (used > maxBytes) {
        status = FileStatus::TooLarge;
        break;
      }
    }
  } catch (const std::bad_alloc&) {
    status = FileStatus::OutOfMemory;
  } catch (const std::length_error&) {
    status = FileStatus::OutOfMemory;
  }
  ::close(fd);
  out.resize(status == FileStatus::Ok ? start + used : start);
  return status;
}

}  // namespace

std::string fileStatusText(FileStatus status, std::uint64_t maxBytes) {
  switch (status) {
    case FileStatus::Ok:
      return {};
    case FileStatus::CannotOpen:
      return "cannot be opened";
    case FileStatus::NotRegular:
      return "not a regular file";
    case FileStatus::TooLarge:
      return "larger than " + std::to_string(maxBytes) + " bytes";
    case FileStatus::ReadFailed:
      return "cannot be read";
    case FileStatus::OutOfMemory:
      return "out of memory";
  }
  return {};
}

FileStatus readRegularFile(const std::string& path, std::uint64_t maxBytes,
                           std::vector<char>& out) {
  return readInto(path, maxBytes, out);
}

FileStatus readRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& out) {
  return readInto(path, maxBytes, out);
}

std::FILE* openRegularFile(const std::string& path, std::uint64_t maxBytes, const char* mode,
                           FileStatus* status) {
  FileStatus result = FileStatus::Ok;
  std::uint64_t size = 0;
  const int fd = openChecked(path, maxBytes, result, size);
  std::FILE* file = nullptr;
  if (fd >= 0) {
    file = ::fdopen(fd, mode);
    if (!file) {
      ::close(fd);
      result = FileStatus::OutOfMemory;
    }
  }
  if (status) *status = result;
  return file;
}

}  // namespace vashel
