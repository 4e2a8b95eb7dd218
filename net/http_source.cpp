// The fetch steps over the HTTP transport.
#include "net/http_source.h"

#include <algorithm>
#include <cstring>

namespace vashel {

HttpStatusError::HttpStatusError(long status)
    : std::runtime_error("HTTP status " + std::to_string(status)), status_(status) {}

int HttpDocumentSource::openInternet(const char* /*agent*/) {
  // There is no connection to keep: the transport opens one per request.
  sessionOpen_ = true;
  requestOpen_ = false;
  reply_.clear();
  buffer_.clear();
  resetResults();
  return 1;
}

int HttpDocumentSource::openUrl(const std::string& url) {
  if (!sessionOpen_) return 0;
  buffer_.clear();
  requestOpen_ = false;
  reply_.clear();
  if (!isHttpUrl(url)) throw httpErrorCode(HttpFailure::UnsupportedScheme);
  if (cancelled_.load()) throw httpErrorCode(HttpFailure::Cancelled);
  HttpResponse response = transport_->get(url, limits_, &cancelled_);
  if (response.failure != HttpFailure::None) {
    if (diagnostics_ != nullptr && !response.detail.empty()) {
      std::fprintf(diagnostics_, "%s: %s\n", url.c_str(), response.detail.c_str());
    }
    throw httpErrorCode(response.failure);
  }
  if (response.status >= 400) throw HttpStatusError(response.status);
  if (response.truncated && diagnostics_ != nullptr) {
    std::fprintf(diagnostics_, "%s: the document is larger than %zu bytes; the rest is cut off\n",
                 url.c_str(), limits_.maxBodyBytes);
  }
  reply_ = std::move(response.body);
  requestOpen_ = true;
  return 1;
}

int HttpDocumentSource::readAll() {
  if (!sessionOpen_ || !requestOpen_) return 0;
  // The body arrives in pieces of 255 bytes, each taken as a C string: a NUL
  // byte ends what is kept of its piece.
  constexpr std::size_t kChunk = 255;
  for (std::size_t offset = 0; offset < reply_.size(); offset += kChunk) {
    const std::size_t length = std::min(kChunk, reply_.size() - offset);
    const char* chunk = reply_.data() + offset;
    const void* nul = std::memchr(chunk, '\0', length);
    buffer_.append(chunk, nul != nullptr ? static_cast<const char*>(nul) - chunk : length);
  }
  reply_.clear();  // a second call reads nothing more, as at the end of a stream
  return 1;
}

int HttpDocumentSource::close() {
  sessionOpen_ = false;
  requestOpen_ = false;
  reply_.clear();
  buffer_.clear();
  return 1;
}

}  // namespace vashel
