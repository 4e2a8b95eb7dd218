// The document buffer filled over HTTP: open, request, read, close, each
// failure of the transport thrown as its unsigned error code.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "platform/http.h"
#include "xml/document_source.h"

namespace vashel {

// A reply with an HTTP error status (404, 500, ...). Thrown instead of an
// error code: the URL reached a server, the document is what failed.
class HttpStatusError : public std::runtime_error {
 public:
  explicit HttpStatusError(long status);
  long status() const { return status_; }

 private:
  long status_;
};

class HttpDocumentSource : public DocumentSource {
 public:
  // The transport is not owned and must outlive the source.
  explicit HttpDocumentSource(HttpTransport& transport) : transport_(&transport) {}

  // Opens the session (the user agent text is not sent when null) and clears
  // the buffer; the reader built on top resets its results too. Returns 1.
  int openInternet(const char* agent = nullptr);
  // 0 without an open session. Otherwise clears the buffer and performs the
  // request; a transport failure throws its error code (std::uint32_t), a
  // URL other than http or https throws kHttpErrorUnsupportedScheme, and an
  // HTTP error status throws HttpStatusError. A body beyond the size limit
  // is cut off with a line on `diagnostics`. Returns 1.
  int openUrl(const std::string& url);
  // 0 without a session and a request. Otherwise appends the body to the
  // buffer in chunks of at most 255 bytes, each only up to a NUL byte in it.
  // Returns 1.
  int readAll();
  // Ends the request and the session and clears the buffer. Returns 1.
  int close();

  HttpLimits& limits() { return limits_; }
  // Makes a request in progress stop (from any thread); later requests stop
  // at once. For the end of the program.
  void cancel() { cancelled_.store(true); }
  void setDiagnostics(std::FILE* out) { diagnostics_ = out; }

 protected:
  // Called by a successful openInternet, after the buffer was cleared.
  virtual void resetResults() {}

 private:
  HttpTransport* transport_;
  HttpLimits limits_;
  std::atomic<bool> cancelled_{false};
  std::FILE* diagnostics_ = stderr;
  bool sessionOpen_ = false;
  bool requestOpen_ = false;
  std::string reply_;  // the body of the request, until readAll takes it
};

}  // namespace vashel
