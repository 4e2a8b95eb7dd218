// glj fetch against a server on 127.0.0.1: the listings and the rebuild
// lines on standard output; a failure's code on standard error.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>

#include "../net/local_http_server.h"

namespace vashel {
namespace {

struct Fetched {
  int exitCode = -1;
  std::string out;
};

// Standard error goes to standard output, after it.
Fetched gljFetch(const std::string& url) {
  const std::string command =
      "'" + std::string(VASHEL_BIN_DIR) + "/glj' fetch '" + url + "' 2>&1";
  std::FILE* pipe = ::popen(command.c_str(), "r");
  Fetched run;
  char chunk[4096];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) run.out.append(chunk, n);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(GljFetch, PrintsBothListingsAndTheRebuildLines) {
  testing::LocalHttpServer server([](const std::string& path) -> std::optional<std::string> {
    if (path == "/gone") return testing::httpReply(404, "");
    return testing::httpReply(200,
                              "<x><item><title>ニュース</title></item><animation-data end=\"5\"/>"
                              "<joint name=\"hip\"><translatex num=\"1\">1 2</translatex></joint>"
                              "<anim key=\"4\" name=\"bow\" start=\"1\" end=\"9\"/></x>");
  });
  const Fetched run = gljFetch(server.url("/a.xml"));
  EXPECT_EQ(run.exitCode, 0);
  const std::string line = "---------------------------------------\n";
  EXPECT_EQ(run.out,
            "  TITLE: \n  DESC:  \n  LINK:  \n  DATE:  \n  JOINT: \n  ANIM: \n" + line +
                "  TITLE: ニュース\n  DESC:  \n  LINK:  \n  DATE:  \n  JOINT: \n  ANIM: \n" + line +
                " ---- DEBUG ---- \nstart, end = 0, 5\nSceneBase::name_ = hip\n parent: no-parent\n"
                " JointNode::trans_ = <<0 0 0 0>>\n JointNode::jori_ = <<0 0 0 0>>\n"
                " JointNode::Translate0 =  1,2 //\n JointNode::Translate1 = \n"
                " JointNode::Translate2 = \n JointNode::Rotate0 = \n JointNode::Rotate1 = \n"
                " JointNode::Rotate2 = \nキー数: 1\nキー再構築 key:4, (1, 9) obj=bow\n");
  const Fetched missing = gljFetch(server.url("/gone"));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.out, "glj: fetch: HTTP status 404\n");
}

TEST(GljFetch, UnreachableAndNonHttpUrlsExitWithTheirCode) {
  const Fetched refused = gljFetch(testing::closedPortUrl());
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.out.find("glj: fetch: error 12029\n"), std::string::npos) << refused.out;
  EXPECT_EQ(gljFetch("file:///etc/passwd").out, "glj: fetch: error 12006\n");
}

}  // namespace
}  // namespace vashel
