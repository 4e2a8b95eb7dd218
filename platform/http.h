// HTTP GET as the fetch layer needs it, behind an interface: the libcurl
// transport lives in a library of its own (http_curl.h), so that only the
// network reader and the program link libcurl, and tests can substitute a
// transport that fails on demand.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vashel {

// Why a request produced no document. Each kind has one error code (below).
enum class HttpFailure {
  None,
  BadUrl,             // not a URL at all
  UnsupportedScheme,  // anything but http and https, also as a redirect target
  Resolve,            // the host name cannot be resolved
  Connect,            // refused, or no route to the host
  Timeout,            // the connect or the whole request took too long
  TooManyRedirects,
  Tls,                // the secure channel could not be set up or verified
  ConnectionLost,     // sending or receiving failed, or the reply ended early
  BadResponse,        // the server's reply is not HTTP
  Cancelled,          // the program asked the request to stop (exit)
  Internal,           // out of memory, or the library failed to start
};

// The error codes thrown for each failure: the numbers the platform's own
// internet library has always reported for the same causes, so that logs
// and documentation keep one meaning per number.
inline constexpr std::uint32_t kHttpErrorTimeout = 12002;
inline constexpr std::uint32_t kHttpErrorInternal = 12004;
inline constexpr std::uint32_t kHttpErrorBadUrl = 12005;
inline constexpr std::uint32_t kHttpErrorUnsupportedScheme = 12006;
inline constexpr std::uint32_t kHttpErrorResolve = 12007;
inline constexpr std::uint32_t kHttpErrorCancelled = 12017;
inline constexpr std::uint32_t kHttpErrorConnect = 12029;
inline constexpr std::uint32_t kHttpErrorConnectionLost = 12031;
inline constexpr std::uint32_t kHttpErrorBadResponse = 12152;
inline constexpr std::uint32_t kHttpErrorTooManyRedirects = 12156;
inline constexpr std::uint32_t kHttpErrorTls = 12157;

// The error code of a failure; 0 for None.
std::uint32_t httpErrorCode(HttpFailure failure);

// Whether the URL names the http or https scheme (in any case), the only
// ones fetched: a dropped file: URL must never be read.
bool isHttpUrl(const std::string& url);

struct HttpLimits {
  long connectTimeoutMs = 10'000;
  long totalTimeoutMs = 30'000;  // the whole request, body included
  int maxRedirects = 5;
  std::size_t maxBodyBytes = 4u << 20;  // the rest of a longer body is cut off
};

struct HttpResponse {
  HttpFailure failure = HttpFailure::None;
  long status = 0;         // the final HTTP status; 0 when there was no reply
  std::string body;        // at most maxBodyBytes
  bool truncated = false;  // the body was longer and was cut off
  std::string detail;      // the library's words for a failure, for diagnostics
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  // A GET that always goes to the server (no cache), following redirects
  // within the limits. When `cancel` is given and becomes true the request
  // stops soon with Cancelled. Never throws.
  virtual HttpResponse get(const std::string& url, const HttpLimits& limits,
                           const std::atomic<bool>* cancel = nullptr) = 0;
};

}  // namespace vashel
