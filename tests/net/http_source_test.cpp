// The fetch steps: error codes from the transport, the schemes fetched, the
// 255-byte chunks, and the libcurl transport against a local server.
#include "net/http_source.h"

#include <gtest/gtest.h>

#include "local_http_server.h"
#include "net_fakes.h"
#include "platform/http_curl.h"

namespace vashel {
namespace {

using testing::CapturedFile;
using testing::FakeTransport;
using testing::LocalHttpServer;
using testing::httpReply;

std::uint32_t thrownCode(HttpDocumentSource& source, const std::string& url) {
  try {
    source.openUrl(url);
  } catch (std::uint32_t code) {
    return code;
  }
  return 0;
}

TEST(HttpSource, StepsWithoutTheirHandlesDoNothing) {
  FakeTransport transport;
  HttpDocumentSource source(transport);
  EXPECT_EQ(source.openUrl("http://127.0.0.1/"), 0);
  EXPECT_EQ(source.readAll(), 0);
  source.openInternet();
  EXPECT_EQ(source.readAll(), 0);  // no request yet
  EXPECT_TRUE(transport.urls.empty());
}

TEST(HttpSource, TransportFailuresAreThrownAsTheirCodes) {
  FakeTransport transport;
  HttpDocumentSource source(transport);
  source.setDiagnostics(nullptr);
  source.openInternet();
  const std::pair<HttpFailure, std::uint32_t> cases[] = {
      {HttpFailure::Resolve, 12007u},  {HttpFailure::Connect, 12029u},
      {HttpFailure::Timeout, 12002u},  {HttpFailure::TooManyRedirects, 12156u},
      {HttpFailure::Tls, 12157u},      {HttpFailure::BadUrl, 12005u},
      {HttpFailure::Cancelled, 12017u}};
  for (const auto& [failure, code] : cases) {
    transport.response.failure = failure;
    EXPECT_EQ(thrownCode(source, "http://unresolvable.invalid/feed"), code);
  }
  transport.response = {};
  transport.response.status = 404;
  EXPECT_THROW(source.openUrl("http://127.0.0.1/missing"), HttpStatusError);
}

TEST(HttpSource, OnlyHttpAndHttpsAreFetched) {
  FakeTransport transport;
  HttpDocumentSource source(transport);
  source.openInternet();
  for (const char* url : {"file:///etc/passwd", "ftp://127.0.0.1/x", "127.0.0.1/feed", "",
                          "http:/x", "javascript:alert(1)"}) {
    EXPECT_EQ(thrownCode(source, url), kHttpErrorUnsupportedScheme) << url;
  }
  EXPECT_TRUE(transport.urls.empty());
  transport.response.status = 200;
  EXPECT_EQ(source.openUrl("HTTPS://127.0.0.1/a"), 1);
  EXPECT_EQ(source.openUrl("http://127.0.0.1/b"), 1);
  EXPECT_EQ(transport.urls.size(), 2u);
}

TEST(HttpSource, ANulByteEndsOnlyItsOwnChunk) {
  FakeTransport transport;
  HttpDocumentSource source(transport);
  std::string body(600, 'a');
  body[10] = '\0';    // first chunk: bytes 0..254
  body[300] = '\0';   // second chunk: bytes 255..509
  for (std::size_t i = 510; i < body.size(); ++i) body[i] = 'c';
  transport.response.status = 200;
  transport.response.body = body;
  source.openInternet();
  source.buffer() = "old";
  ASSERT_EQ(source.openUrl("http://127.0.0.1/"), 1);
  EXPECT_EQ(source.buffer(), "");
  ASSERT_EQ(source.readAll(), 1);
  EXPECT_EQ(source.buffer(), std::string(10, 'a') + std::string(300 - 255, 'a') + std::string(90, 'c'));
  EXPECT_EQ(source.readAll(), 1);  // the stream is at its end: nothing more
  EXPECT_EQ(source.buffer().size(), 145u);
  source.close();
  EXPECT_EQ(source.buffer(), "");
  EXPECT_EQ(source.readAll(), 0);
}

// --- libcurl against 127.0.0.1 ------------------------------------------------

TEST(CurlTransport, ReadsTheBodyAndFollowsRedirects) {
  LocalHttpServer server([](const std::string& path) -> std::optional<std::string> {
    if (path == "/moved") return httpReply(302, "", "Location: /doc\r\n");
    if (path == "/doc") return httpReply(200, "<a>body</a>");
    return httpReply(404, "no");
  });
  CurlTransport transport;
  HttpDocumentSource source(transport);
  source.openInternet();
  ASSERT_EQ(source.openUrl(server.url("/moved")), 1);
  source.readAll();
  EXPECT_EQ(source.buffer(), "<a>body</a>");
  EXPECT_THROW(source.openUrl(server.url("/other")), HttpStatusError);
}

TEST(CurlTransport, RedirectsAreBoundedAndStayOnHttp) {
  LocalHttpServer server([](const std::string& path) -> std::optional<std::string> {
    if (path == "/loop") return httpReply(302, "", "Location: /loop\r\n");
    return httpReply(302, "", "Location: file:///etc/passwd\r\n");
  });
  CurlTransport transport;
  HttpDocumentSource source(transport);
  source.setDiagnostics(nullptr);
  source.openInternet();
  EXPECT_EQ(thrownCode(source, server.url("/loop")), kHttpErrorTooManyRedirects);
  EXPECT_EQ(server.requests(), 1 + source.limits().maxRedirects);
  EXPECT_EQ(thrownCode(source, server.url("/file")), kHttpErrorUnsupportedScheme);
  EXPECT_EQ(source.buffer(), "");
}

TEST(CurlTransport, ALongBodyIsCutOffWithADiagnostic) {
  LocalHttpServer server([](const std::string&) -> std::optional<std::string> {
    return httpReply(200, std::string(100000, 'x'));
  });
  CurlTransport transport;
  HttpDocumentSource source(transport);
  CapturedFile diagnostics;
  source.setDiagnostics(diagnostics.get());
  source.limits().maxBodyBytes = 4096;
  source.openInternet();
  ASSERT_EQ(source.openUrl(server.url("/big")), 1);
  source.readAll();
  EXPECT_EQ(source.buffer(), std::string(4096, 'x'));
  EXPECT_NE(diagnostics.text().find("larger than 4096 bytes"), std::string::npos);
}

TEST(CurlTransport, SilentServerTimesOutAndClosedPortIsRefused) {
  LocalHttpServer silent([](const std::string&) -> std::optional<std::string> {
    return std::nullopt;
  });
  CurlTransport transport;
  HttpDocumentSource source(transport);
  source.setDiagnostics(nullptr);
  source.limits().totalTimeoutMs = 500;
  source.openInternet();
  EXPECT_EQ(thrownCode(source, silent.url("/feed")), kHttpErrorTimeout);
  const std::string closed =
      "http://127.0.0.1:" + std::to_string(testing::closedLocalPort()) + "/feed";
  EXPECT_EQ(thrownCode(source, closed), kHttpErrorConnect);
}

TEST(CurlTransport, CancelStopsRequests) {
  LocalHttpServer silent([](const std::string&) -> std::optional<std::string> {
    return std::nullopt;
  });
  CurlTransport transport;
  std::atomic<bool> cancel{true};
  const HttpResponse response = transport.get(silent.url("/"), HttpLimits{}, &cancel);
  EXPECT_EQ(response.failure, HttpFailure::Cancelled);
}

}  // namespace
}  // namespace vashel
