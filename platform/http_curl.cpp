// GET over a libcurl easy handle: one handle per request, nothing cached,
// http and https only (redirects included), bounded in time and in size.
#include "platform/http_curl.h"

#include <curl/curl.h>
#include <dlfcn.h>

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

// libcurl is loaded by the first request, not with the program: it and the
// TLS, LDAP, SSH and Kerberos libraries it pulls in cost the desktop program
// about 0.8 MiB of relocated pages, and OpenSSL's set-up more, even when no
// feed is ever fetched.
constexpr char kCurlLibrary[] = "libcurl.so.4";

struct CurlApi {
  decltype(&curl_global_init) globalInit = nullptr;
  decltype(&curl_easy_init) easyInit = nullptr;
  decltype(&curl_easy_setopt) easySetopt = nullptr;
  decltype(&curl_easy_perform) easyPerform = nullptr;
  decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
  decltype(&curl_easy_strerror) easyStrerror = nullptr;
  decltype(&curl_easy_cleanup) easyCleanup = nullptr;
  decltype(&curl_slist_append) slistAppend = nullptr;
  decltype(&curl_slist_free_all) slistFreeAll = nullptr;
  std::string error;  // why it could not be used; empty when it can
};

template <typename Function>
bool resolve(void* library, const char* name, Function& function, std::string& error) {
  function = reinterpret_cast<Function>(dlsym(library, name));
  if (function == nullptr && error.empty()) error = std::string(kCurlLibrary) + " has no " + name;
  return function != nullptr;
}

// Loads and initialises libcurl once for the process, whichever thread asks
// first; it stays loaded until the process ends.
const CurlApi& curlApi() {
  static CurlApi api;
  static std::once_flag once;
  std::call_once(once, [] {
    void* library = dlopen(kCurlLibrary, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      const char* why = dlerror();
      api.error = std::string(kCurlLibrary) + " cannot be loaded: " + (why != nullptr ? why : "?");
      return;
    }
    bool ok = resolve(library, "curl_global_init", api.globalInit, api.error);
    ok = resolve(library, "curl_easy_init", api.easyInit, api.error) && ok;
    ok = resolve(library, "curl_easy_setopt", api.easySetopt, api.error) && ok;
    ok = resolve(library, "curl_easy_perform", api.easyPerform, api.error) && ok;
    ok = resolve(library, "curl_easy_getinfo", api.easyGetinfo, api.error) && ok;
    ok = resolve(library, "curl_easy_strerror", api.easyStrerror, api.error) && ok;
    ok = resolve(library, "curl_easy_cleanup", api.easyCleanup, api.error) && ok;
    ok = resolve(library, "curl_slist_append", api.slistAppend, api.error) && ok;
    ok = resolve(library, "curl_slist_free_all", api.slistFreeAll, api.error) && ok;
    if (ok && api.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) api.error = "curl_global_init failed";
  });
  return api;
}

}  // namespace

CurlTransport::CurlTransport() = default;

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
  const CurlApi& api = curlApi();
  if (!api.error.empty()) {
    response.failure = HttpFailure::Internal;
    response.detail = api.error;
    return response;
  }
  CURL* curl = api.easyInit();
  if (curl == nullptr) {
    response.failure = HttpFailure::Internal;
    response.detail = "curl_easy_init failed";
    return response;
  }
  Transfer transfer{&response.body, limits.maxBodyBytes, false, cancel};
  char errorText[CURL_ERROR_SIZE] = {};
  // Ask caches between us and the server to fetch afresh.
  curl_slist* headers = api.slistAppend(nullptr, "Cache-Control: no-cache");
  headers = api.slistAppend(headers, "Pragma: no-cache");

  api.easySetopt(curl, CURLOPT_URL, url.c_str());
  api.easySetopt(curl, CURLOPT_HTTPGET, 1L);
  api.easySetopt(curl, CURLOPT_HTTPHEADER, headers);
  api.easySetopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  api.easySetopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  api.easySetopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  api.easySetopt(curl, CURLOPT_MAXREDIRS, static_cast<long>(limits.maxRedirects));
  api.easySetopt(curl, CURLOPT_CONNECTTIMEOUT_MS, limits.connectTimeoutMs);
  api.easySetopt(curl, CURLOPT_TIMEOUT_MS, limits.totalTimeoutMs);
  // Signals cannot time out name look-ups on a worker thread; the threaded
  // resolver does without them.
  api.easySetopt(curl, CURLOPT_NOSIGNAL, 1L);
  api.easySetopt(curl, CURLOPT_ACCEPT_ENCODING, "");
  api.easySetopt(curl, CURLOPT_WRITEFUNCTION, onBody);
  api.easySetopt(curl, CURLOPT_WRITEDATA, &transfer);
  api.easySetopt(curl, CURLOPT_XFERINFOFUNCTION, onProgress);
  api.easySetopt(curl, CURLOPT_XFERINFODATA, &transfer);
  api.easySetopt(curl, CURLOPT_NOPROGRESS, 0L);
  api.easySetopt(curl, CURLOPT_ERRORBUFFER, errorText);

  const CURLcode result = api.easyPerform(curl);
  long status = 0;
  api.easyGetinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  response.status = status;
  response.truncated = transfer.truncated;
  // Cutting a long body off ends the transfer with a write error; the part
  // kept is the document.
  if (result != CURLE_OK && !(result == CURLE_WRITE_ERROR && transfer.truncated)) {
    response.failure = httpFailureFromCurl(result);
    response.detail = errorText[0] != '\0' ? errorText : api.easyStrerror(result);
  }
  api.slistFreeAll(headers);
  api.easyCleanup(curl);
  return response;
}

}  // namespace vashel
