// The fetch steps: transport failures thrown as their codes, the schemes
// fetched, the 255-byte chunks, and the libcurl transport against 127.0.0.1.
#include "net/http_source.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "local_http_server.h"
#include "net_fakes.h"
#include "platform/http_curl.h"

namespace vashel {
namespace {

using testing::httpReply;

bool curlLoaded() {
  void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_NOLOAD);
  if (library != nullptr) dlclose(library);
  return library != nullptr;
}

// Taken before any test runs: a program that links libcurl has it mapped here.
const bool curlLoadedAtStart = curlLoaded();

std::uint32_t thrownCode(HttpDocumentSource& source, const std::string& url) {
  try {
    source.openUrl(url);
  } catch (std::uint32_t code) {
    return code;
  }
  return 0;
}

TEST(HttpSource, FailuresAreThrownAsCodesAndOnlyHttpIsFetched) {
  testing::FakeTransport transport;
  HttpDocumentSource source(transport);
  source.setDiagnostics(nullptr);
  EXPECT_EQ(source.openUrl("http://127.0.0.1/"), 0);  // no openInternet yet
  source.openInternet();
  for (const char* url : {"file:///etc/passwd", "ftp://127.0.0.1/x", "127.0.0.1/feed", "http:/x"}) {
    EXPECT_EQ(thrownCode(source, url), kHttpErrorUnsupportedScheme) << url;
  }
  EXPECT_TRUE(transport.urls.empty());
  const std::pair<HttpFailure, std::uint32_t> cases[] = {
      {HttpFailure::Resolve, 12007u}, {HttpFailure::Connect, 12029u},
      {HttpFailure::Timeout, 12002u}, {HttpFailure::TooManyRedirects, 12156u}};
  for (const auto& [failure, code] : cases) {
    transport.response.failure = failure;
    EXPECT_EQ(thrownCode(source, "HTTPS://feeds.invalid/rss"), code);
  }
  transport.response = {HttpFailure::None, 404, "", false, ""};
  EXPECT_THROW(source.openUrl("http://127.0.0.1/missing"), HttpStatusError);
}

TEST(HttpSource, ANulByteEndsOnlyItsOwnChunk) {
  testing::FakeTransport transport;
  HttpDocumentSource source(transport);
  std::string body(600, 'a');
  body[10] = '\0';   // in the chunk of bytes 0..254
  body[300] = '\0';  // in the chunk of bytes 255..509
  transport.response.body = body;
  source.openInternet();
  source.buffer() = "old";
  source.openUrl("http://127.0.0.1/");
  EXPECT_EQ(source.buffer(), "");
  ASSERT_EQ(source.readAll(), 1);
  EXPECT_EQ(source.buffer(), std::string(10 + 45 + 90, 'a'));
  source.close();
  EXPECT_EQ(source.readAll(), 0);
}

TEST(CurlTransport, LibcurlIsLoadedByTheFirstRequestNotWithTheProgram) {
  EXPECT_FALSE(curlLoadedAtStart);
  CurlTransport transport;
  const bool loadedBefore = curlLoaded();
  // A refused scheme never needs the library.
  EXPECT_EQ(transport.get("file:///etc/passwd", HttpLimits{}).failure, HttpFailure::UnsupportedScheme);
  EXPECT_EQ(curlLoaded(), loadedBefore);
  EXPECT_EQ(transport.get(testing::closedPortUrl(), HttpLimits{}).failure, HttpFailure::Connect);
  EXPECT_TRUE(curlLoaded());
}

TEST(CurlTransport, RedirectsStayOnHttpAndLongBodiesAreCutOff) {
  testing::LocalHttpServer server([](const std::string& path) -> std::optional<std::string> {
    if (path == "/moved") return httpReply(302, "", "Location: /big\r\n");
    if (path == "/big") return httpReply(200, std::string(100000, 'x'));
    if (path == "/loop") return httpReply(302, "", "Location: /loop\r\n");
    return httpReply(302, "", "Location: file:///etc/passwd\r\n");
  });
  CurlTransport transport;
  HttpDocumentSource source(transport);
  testing::CapturedFile diagnostics;
  source.setDiagnostics(diagnostics.get());
  source.limits().maxBodyBytes = 4096;
  source.openInternet();
  source.openUrl(server.url("/moved"));
  source.readAll();
  EXPECT_EQ(source.buffer(), std::string(4096, 'x'));
  EXPECT_NE(diagnostics.text().find("larger than 4096 bytes"), std::string::npos);
  EXPECT_EQ(thrownCode(source, server.url("/loop")), kHttpErrorTooManyRedirects);
  EXPECT_EQ(thrownCode(source, server.url("/file")), kHttpErrorUnsupportedScheme);
}

TEST(CurlTransport, SilentServerTimesOutClosedPortIsRefusedCancelStops) {
  testing::LocalHttpServer silent([](const std::string&) { return std::optional<std::string>(); });
  CurlTransport transport;
  HttpDocumentSource source(transport);
  source.setDiagnostics(nullptr);
  source.limits().totalTimeoutMs = 500;
  source.openInternet();
  EXPECT_EQ(thrownCode(source, silent.url("/feed")), kHttpErrorTimeout);
  EXPECT_EQ(thrownCode(source, testing::closedPortUrl()), kHttpErrorConnect);
  const std::atomic<bool> cancel{true};
  EXPECT_EQ(transport.get(silent.url("/"), HttpLimits{}, &cancel).failure, HttpFailure::Cancelled);
}

}  // namespace
}  // namespace vashel
