// glj fetch against a server on 127.0.0.1: both listings and the rebuild
// lines on standard output; a failure's error code on standard error.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../net/local_http_server.h"

namespace vashel {
namespace {

namespace fs = std::filesystem;

struct FetchRun {
  int exitCode = -1;
  std::string out, err;
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

FetchRun gljFetch(const std::string& url) {
  const fs::path dir = fs::temp_directory_path() / ("vashel_glj_fetch_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path out = dir / "stdout", err = dir / "stderr";
  const std::string command = "'" + std::string(VASHEL_BIN_DIR) + "/glj' fetch '" + url + "' >'" +
                              out.string() + "' 2>'" + err.string() + "'";
  const int status = std::system(command.c_str());
  FetchRun run;
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.out = readFile(out);
  run.err = readFile(err);
  fs::remove_all(dir);
  return run;
}

TEST(GljFetch, PrintsBothListingsAndTheRebuildLines) {
  testing::LocalHttpServer server([](const std::string&) -> std::optional<std::string> {
    return testing::httpReply(
        200,
        "<x><item><title>ニュース</title></item><animation-data start=\"0\" end=\"5\"/>"
        "<joint name=\"hip\"><translatex num=\"1\">1 2</translatex></joint>"
        "<anim key=\"4\" name=\"bow\" start=\"1\" end=\"9\"/></x>");
  });
  const FetchRun run = gljFetch(server.url("/a.xml"));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  const std::string line = "---------------------------------------\n";
  EXPECT_EQ(run.out,
            "  TITLE: \n  DESC:  \n  LINK:  \n  DATE:  \n  JOINT: \n  ANIM: \n" + line +
                "  TITLE: ニュース\n  DESC:  \n  LINK:  \n  DATE:  \n  JOINT: \n  ANIM: \n" + line +
                " ---- DEBUG ---- \nstart, end = 0, 5\nSceneBase::name_ = hip\n parent: no-parent\n"
                " JointNode::trans_ = <<0 0 0 0>>\n JointNode::jori_ = <<0 0 0 0>>\n"
                " JointNode::Translate0 =  1,2 //\n JointNode::Translate1 = \n"
                " JointNode::Translate2 = \n JointNode::Rotate0 = \n JointNode::Rotate1 = \n"
                " JointNode::Rotate2 = \n"
                "キー数: 1\nキー再構築 key:4, (1, 9) obj=bow\n");
}

TEST(GljFetch, FailuresExitNonZeroWithTheirCode) {
  const FetchRun refused =
      gljFetch("http://127.0.0.1:" + std::to_string(testing::closedLocalPort()) + "/a.xml");
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_NE(refused.err.find("glj: fetch: error 12029\n"), std::string::npos) << refused.err;
  EXPECT_EQ(refused.out, "");

  const FetchRun file = gljFetch("file:///etc/passwd");
  EXPECT_EQ(file.exitCode, 1);
  EXPECT_NE(file.err.find("error 12006"), std::string::npos) << file.err;

  testing::LocalHttpServer server([](const std::string&) -> std::optional<std::string> {
    return testing::httpReply(404, "<html>gone</html>");
  });
  const FetchRun missing = gljFetch(server.url("/gone.xml"));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.err.find("HTTP status 404"), std::string::npos) << missing.err;
}

}  // namespace
}  // namespace vashel
