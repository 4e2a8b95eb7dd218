// Reading a local file into the document buffer.
#include "xml/document_source.h"

#include <cstdio>

#include "platform/regular_file.h"

namespace vashel {

bool DocumentSource::loadFile(const std::string& path) {
  // Every byte read is kept, NUL bytes included.
  const FileStatus status = readRegularFile(path, kMaxDocumentFileBytes, buffer_);
  if (status != FileStatus::Ok && status != FileStatus::CannotOpen) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(),
                 fileStatusText(status, kMaxDocumentFileBytes).c_str());
  }
  return status == FileStatus::Ok;
}

}  // namespace vashel
