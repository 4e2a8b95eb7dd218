// The raw document buffer that files (and, later, HTTP) are read into.
#pragma once

#include <string>
#include <string_view>

namespace vashel {

class DocumentSource {
 public:
  virtual ~DocumentSource() = default;

  // Empties the buffer before a new load.
  void clearBuffer() { buffer_.clear(); }
  // Appends the file's bytes to the buffer. A file that cannot be opened adds
  // nothing and gives false.
  bool loadFile(const std::string& path);

  const std::string& buffer() const { return buffer_; }
  std::string& buffer() { return buffer_; }

 protected:
  std::string buffer_;
};

}  // namespace vashel
