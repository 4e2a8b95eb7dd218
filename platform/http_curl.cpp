// GET over a libcurl easy handle: one handle per request, nothing cached,
// http and https only (redirects included), bounded in time and in size.
#include "platform/http_curl.h"

#include <curl/curl.h>

#include <mutex>

namespace vashel {
namespace {

struct Transfer {
  std::string* body;
  std::size_t maxBytes;
  bool truncated = false;
  const std::atomic<bool>* cancel;
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  const std::size_t room = transfer->maxBytes - transfer->body->size();
  if (bytes > room) {
    transfer->body->append(data, room);
    transfer->truncated = true;
    return 0;  // stops the transfer; the body so far is kept
  }
  transfer->body->append(data, bytes);
  return bytes;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* transfer = static_cast<const Transfer*>(user);
  return transfer->cancel != nullptr && transfer->cancel->load() ? 1 : 0;
}

// One global initialisation for the process, whichever thread asks first.
void initialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

CurlTransport::CurlTransport() { initialiseOnce(); }

HttpFailure httpFailureFromCurl(int curlCode) {
  switch (static_cast<CURLcode>(curlCode)) {
    case CURLE_OK: return HttpFailure::None;
    case CURLE_URL_MALFORMAT: return HttpFailure::BadUrl;
    case CURLE_UNSUPPORTED_PROTOCOL: return HttpFailure::UnsupportedScheme;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY: return HttpFailure::Resolve;
    case CURLE_COULDNT_CONNECT: return HttpFailure::Connect;
    case CURLE_OPERATION_TIMEDOUT: return HttpFailure::Timeout;
    case CURLE_TOO_MANY_REDIRECTS: return HttpFailure::TooManyRedirects;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED: return HttpFailure::Tls;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM: return HttpFailure::ConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING: return HttpFailure::BadResponse;
    case CURLE_ABORTED_BY_CALLBACK: return HttpFailure::Cancelled;
    default: return HttpFailure::Internal;
  }
}

HttpResponse CurlTransport::get(const std::string& url, const HttpLimits& limits,
                                const std::atomic<bool>* cancel) {
  HttpResponse response;
  // curl would fetch file:, ftp: and more; refuse them before it sees the URL.
  if (!isHttpUrl(url)) {
    response.failure = HttpFailure::UnsupportedScheme;
    response.detail = "only http and https URLs are fetched";
    return response;
  }
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    response.failure = HttpFailure::Internal;
    response.detail = "curl_easy_init failed";
    return response;
  }
  Transfer transfer{&response.body, limits.maxBodyBytes, false, cancel};
  char errorText[CURL_ERROR_SIZE] = {};
  // Ask caches between us and the server to fetch afresh.
  curl_slist* headers = curl_slist_append(nullptr, "Cache-Control: no-cache");
  headers = curl_slist_append(headers, "Pragma: no-cache");

  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(limits.maxRedirects));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
  // Signals cannot time out name look-ups on a worker thread; the threaded
  // resolver does without them.
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, onBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);

  const CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  response.status = status;
  response.truncated = transfer.truncated;
  // Cutting a long body off ends the transfer with a write error; the part
  // kept is the document.
  if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.truncated)) {
    response.failure = httpFailureFromCurl(result);
    response.detail = errorText[0] != '\0' ? errorText : curl_easy_strerror(result);
  }
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return response;
}

}  // namespace vashel
