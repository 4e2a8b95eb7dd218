// The raw document buffer that files (and, later, HTTP) are read into.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vashel {

// The largest document file read (message.xml and the like).
inline constexpr std::uint64_t kMaxDocumentFileBytes = 16ull << 20;

class DocumentSource {
 public:
  virtual ~DocumentSource() = default;

  // Empties the buffer before a new load.
  void clearBuffer() { buffer_.clear(); }
  // Appends the file's bytes to the buffer. A file that cannot be opened adds
  // nothing and gives false; so does one that is not a regular file or is
  // larger than kMaxDocumentFileBytes, with a line on standard error.
  bool loadFile(const std::string& path);

  const std::string& buffer() const { return buffer_; }
  std::string& buffer() { return buffer_; }

 protected:
  std::string buffer_;
};

}  // namespace vashel
