// The HTTP transport over libcurl. Only the network reader and the program
// link it (library vashel_platform_http).
#pragma once

#include "platform/http.h"

namespace vashel {

class CurlTransport final : public HttpTransport {
 public:
  CurlTransport();
  HttpResponse get(const std::string& url, const HttpLimits& limits,
                   const std::atomic<bool>* cancel = nullptr) override;
};

// The failure a libcurl result code stands for (CURLE_OK: None).
HttpFailure httpFailureFromCurl(int curlCode);

}  // namespace vashel
