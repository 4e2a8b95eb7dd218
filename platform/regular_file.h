// Reading files that come from outside: only regular files (a FIFO would block
// for ever, a device such as /dev/zero never ends), and never more bytes than
// the reader's cap. Symbolic links are followed; the checks apply to what the
// name finally opens.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vashel {

enum class FileStatus {
  Ok,
  CannotOpen,   // missing, or no permission
  NotRegular,   // a directory, FIFO, socket or device
  TooLarge,     // more bytes than the cap
  ReadFailed,   // an I/O error while reading
  OutOfMemory,  // the buffer for the bytes could not be allocated
};

// What went wrong, as the end of a one-line diagnostic ("not a regular file",
// "larger than 16777216 bytes", ...); empty for Ok.
std::string fileStatusText(FileStatus status, std::uint64_t maxBytes);

// Appends the whole file to `out`. On any failure `out` keeps what it held
// before. Never throws.
FileStatus readRegularFile(const std::string& path, std::uint64_t maxBytes,
                           std::vector<char>& out);
FileStatus readRegularFile(const std::string& path, std::uint64_t maxBytes, std::string& out);

// Opens a regular file of at most maxBytes for reading as a stream ("r" or
// "rb"); null on failure, with the reason in `status` when given. For readers
// that walk their input line by line.
std::FILE* openRegularFile(const std::string& path, std::uint64_t maxBytes, const char* mode,
                           FileStatus* status = nullptr);

}  // namespace vashel
