// Reading a local file into the document buffer.
#include "net/document_source.h"

#include <cstdio>

namespace vashel {

bool DocumentSource::loadFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  // Every byte read is kept, NUL bytes included: cutting each piece at its
  // first NUL would lose data depending on where the 255-byte reads fall.
  char chunk[256];
  for (;;) {
    const std::size_t count = std::fread(chunk, 1, 255, file);
    if (count == 0) break;  // end of file or a read error
    buffer_.append(chunk, count);
  }
  std::fclose(file);
  return true;
}

}  // namespace vashel
