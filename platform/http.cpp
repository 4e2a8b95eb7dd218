// Error codes of the HTTP failures and the scheme check.
#include "platform/http.h"

namespace vashel {

std::uint32_t httpErrorCode(HttpFailure failure) {
  switch (failure) {
    case HttpFailure::None: return 0;
    case HttpFailure::BadUrl: return kHttpErrorBadUrl;
    case HttpFailure::UnsupportedScheme: return kHttpErrorUnsupportedScheme;
    case HttpFailure::Resolve: return kHttpErrorResolve;
    case HttpFailure::Connect: return kHttpErrorConnect;
    case HttpFailure::Timeout: return kHttpErrorTimeout;
    case HttpFailure::TooManyRedirects: return kHttpErrorTooManyRedirects;
    case HttpFailure::Tls: return kHttpErrorTls;
    case HttpFailure::ConnectionLost: return kHttpErrorConnectionLost;
    case HttpFailure::BadResponse: return kHttpErrorBadResponse;
    case HttpFailure::Cancelled: return kHttpErrorCancelled;
    case HttpFailure::Internal: return kHttpErrorInternal;
  }
  return kHttpErrorInternal;
}

bool isHttpUrl(const std::string& url) {
  std::size_t colon = url.find(':');
  if (colon == std::string::npos) return false;
  std::string scheme;
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = url[i];
    scheme.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
  }
  return (scheme == "http" || scheme == "https") && url.compare(colon, 3, "://") == 0;
}

}  // namespace vashel
