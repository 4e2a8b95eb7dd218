// glj info, dump, scramble and descramble, run as the program itself.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vashel {
namespace {

namespace fs = std::filesystem;

const std::string kData = VASHEL_TEST_DATA;
const std::string kGlj = std::string(VASHEL_BIN_DIR) + "/glj";

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

struct GljRun {
  int exitCode = -1;
  std::string out, err;
};

// Each test works in its own empty folder, so no data/message.txt is found.
class Glj : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("vashel_glj_" + std::to_string(getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  GljRun glj(const std::string& arguments) {
    const fs::path out = dir / "stdout", err = dir / "stderr";
    const std::string command = "cd '" + dir.string() + "' && '" + kGlj + "' " + arguments +
                                " >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    GljRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(out);
    run.err = readFile(err);
    return run;
  }

  fs::path dir;
};

// A JSON syntax check, enough to know the dump parses.
class JsonChecker {
 public:
  explicit JsonChecker(const std::string& text) : s_(text) {}
  bool valid() {
    return value() && (skip(), pos_ == s_.size() || (s_[pos_] == '\n' && pos_ + 1 == s_.size()));
  }

 private:
  void skip() {
    while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\t')) ++pos_;
  }
  bool eat(char c) {
    skip();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  bool string() {
    if (!eat('"')) return false;
    while (pos_ < s_.size() && s_[pos_] != '"') {
      if (static_cast<unsigned char>(s_[pos_]) < 0x20) return false;
      pos_ += s_[pos_] == '\\' ? 2 : 1;
    }
    return eat('"');
  }
  bool value() {
    skip();
    if (pos_ >= s_.size()) return false;
    const char c = s_[pos_];
    if (c == '{' || c == '[') {
      const char close = c == '{' ? '}' : ']';
      ++pos_;
      if (eat(close)) return true;
      do {
        if (c == '{' && !(string() && eat(':'))) return false;
        if (!value()) return false;
      } while (eat(','));
      return eat(close);
    }
    if (c == '"') return string();
    for (const char* word : {"null", "true", "false"}) {
      if (s_.compare(pos_, std::strlen(word), word) == 0) {
        pos_ += std::strlen(word);
        return true;
      }
    }
    const std::size_t start = pos_;
    while (pos_ < s_.size() && std::strchr("+-0123456789.eE", s_[pos_])) ++pos_;
    return pos_ > start;
  }
  const std::string& s_;
  std::size_t pos_ = 0;
};

TEST_F(Glj, InfoSummarisesTheScene) {
  const GljRun run = glj("info '" + kData + "/full.gl'");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  for (const char* line :
       {"variant:       plain\n", "time:          0 .. 30\n",
        "meshes:        4 (13 vertices, 3 faces)\n", "joints:        2\n",
        "cameras:       2 (active: persp)\n", "lights:        3\n",
        "textures:      1 images, 2 names\n", "sounds:        4\n", "actions:       3 defined\n",
        "messages:      3, and a default message\n", "window size:   320 x 480\n",
        "feed URL:      http://example.com/feed.xml\n"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line << run.out;
  }
  EXPECT_EQ(run.err, "");  // the scene is clean
}

TEST_F(Glj, DumpHoldsWhatWasRead) {
  const GljRun run = glj("dump '" + kData + "/full.gl'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(JsonChecker(run.out).valid()) << run.out;
  for (const char* member : {
           "{\"variant\":\"plain\",\"time\":[0,30],\"windowSize\":[320,480],"
           "\"startupMode\":[1,0],\"randomAction\":[5,3,2],\"randomMessage\":[20,60],"
           "\"rss\":\"http://example.com/feed.xml\",\"fullscreen\":0,"
           "\"boundingBox\":{\"min\":[-5,-10,-5],\"max\":[5,90,5]},\"center\":[0,40,0],"
           "\"activeCamera\":1,\"vertexTotal\":13,",
           "\"name\":\"body\",\"parent\":-1,\"vertices\":4,\"normals\":2,\"texcoords\":3,"
           "\"faces\":2,\"colors\":2,\"displayMode\":1,\"unpickable\":0,\"picking\":\"\","
           "\"texture\":0,\"texFilter\":2,\"edgeLevel\":0.5,\"doubleSided\":0,"
           "\"color\":[0.25,0.5,0.75,1],\"ambientColor\":[0.1,0.2,0.3,1],"
           "\"incandescence\":[0.4,0.5,0.6,1],\"specularColor\":[0.7,0.8,0.9,1],"
           "\"cosinePower\":12.5,\"blendTargets\":[3],",
           "\"translateX\":{\"keys\":1,\"at\":{\"0\":10,\"1\":10,\"30\":10}}",
           "\"visibility\":{\"keys\":2,\"at\":{\"0\":1,\"1\":0.9,\"30\":0}}",
           "\"alphaGain\":{\"keys\":1,\"at\":{\"0\":0.75,\"1\":0.75,\"30\":0.75}}",
           "\"weight0\":{\"keys\":2,\"at\":{\"0\":0,\"1\":0.03333333333333333,\"30\":1}}",
           "{\"name\":\"hip\",\"parent\":-1,\"translation\":[1,2,3],"
           "\"jointOrientation\":[10,20,30],\"limits\":[0,0,-28.64788975654116,"
           "28.64788975654116,-57.29577951308232,57.29577951308232],"
           "\"cachedRotation\":[0,0,28.64788975654116],",
           "{\"name\":\"persp\",\"vfov\":37.84,",
           "{\"name\":\"sun\",\"type\":3,\"color\":[1,0.5,0.25,0],\"intensity\":2,",
           "\"textureImages\":[{\"name\":\"checker\",\"width\":2,\"height\":2,\"pixels\":4,"
           "\"firstPixel\":4278190335}]",
           "\"textureNames\":[\"skin.tga\",\"skin.tga\"]",
           "\"sounds\":[{\"file\":\"intro.wav\",\"slot\":0},{\"file\":\"idle.wav\",\"slot\":1},"
           "{\"file\":\"wave.wav\",\"slot\":2},{\"file\":\"\",\"slot\":3}]",
           "{\"slot\":0,\"name\":\"idle\",\"start\":1,\"end\":30,\"flag\":0,\"camera\":\"persp\","
           "\"soundFile\":\"idle.wav\",\"soundSlot\":1,\"messages\":[{\"seconds\":5,\"hour\":-1,"
           "\"text\":\"こんにちは \\nworld\\n\"}]}",
           "{\"slot\":99,\"name\":\"start\",",
           "\"defaultMessage\":{\"text\":\"default \\nmessage\\n\",\"seconds\":7}}\n"}) {
    EXPECT_NE(run.out.find(member), std::string::npos) << member;
  }
  EXPECT_EQ(run.out.find("vertexList"), std::string::npos);
}

TEST_F(Glj, DumpFullAndChosenFrames) {
  const GljRun run = glj("dump --full --frames 4,5,5,-1 '" + kData + "/full.gl'");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(JsonChecker(run.out).valid());
  for (const char* member : {
           "\"vertexList\":[[1,2,3,1],[4,5,6,1],[7,8,9,1],[-1,-2,-3,1]]",
           "\"normalList\":[[0,0,1,1],[0,1,0,1]]",
           "\"faceList\":[[[0,0,0],[1,1,0],[2,2,1]],[[0,-1,1],[2,2,1],[3,0,0]]]",
           "\"influences\":[[0,[[0,1]]],[1,[[0,0.5],[1,0.5]]],[2,[[1,0.1],[0,0.2],[0,0.7]]],"
           "[3,[[0,0.25],[1,0.75]]]]",
           "\"normalInfluences\":[[0,[[0,0.25],[1,0.75]]],[1,[[1,0.1],[0,0.2],[0,0.7]]]]",
           "\"colorB\":{\"keys\":2,\"at\":{\"4\":1,\"5\":2,\"-1\":1}}",
           "\"rotateX\":{\"keys\":2,\"at\":{\"4\":0,\"5\":57.29577951308232,\"-1\":0}}",
           "\"visibility\":{\"keys\":2,\"at\":{\"4\":0.6,\"5\":0.5,\"-1\":1}}"}) {
    EXPECT_NE(run.out.find(member), std::string::npos) << member;
  }
}

TEST_F(Glj, DumpConvertsCodePage932AndReplacesBadBytes) {
  writeFile(dir / "names.gl",
            "mesh \x83\x81\x83\x62\x83\x56\x83\x85 World\n v 0 0 0\n"
            "mesh bad\xa0name World\ncamera \"quoted\\\n");
  const GljRun run = glj("dump names.gl");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(JsonChecker(run.out).valid()) << run.out;
  EXPECT_NE(run.out.find("\"name\":\"メッシュ\""), std::string::npos);
  EXPECT_NE(run.out.find("\"name\":\"bad\xef\xbf\xbdname\""), std::string::npos);
  EXPECT_NE(run.out.find("\"name\":\"\\\"quoted\\\\\""), std::string::npos);
  EXPECT_NE(run.out.find("\"defaultMessage\":null"), std::string::npos);
  EXPECT_NE(run.out.find("\"windowSize\":null"), std::string::npos);
  EXPECT_NE(run.out.find("\"rss\":null"), std::string::npos);
}

TEST_F(Glj, Failures) {
  const struct {
    std::string arguments;
    const char* says;
  } cases[] = {
      {"info", "usage"},
      {"info a b", "usage"},
      {"dump", "usage"},
      {"dump --frames", "--frames"},
      {"dump --frames 1,x '" + kData + "/full.gl'", "bad frame list"},
      {"dump --frames 1,,2 '" + kData + "/full.gl'", "bad frame list"},
      {"dump --verbose x.gl", "unknown option"},
      {"dump a.gl b.gl", "usage"},
      {"info missing.gl", "cannot open missing.gl"},
      {"dump '" + kData + "'", "cannot read"},
      {"info '" + kData + "/xml_message.xml'", "not a scene file"},
      {"scramble only-one", "usage"},
      {"descramble missing.glj out.gl", "cannot open"},
  };
  for (const auto& failure : cases) {
    const GljRun run = glj(failure.arguments);
    EXPECT_NE(run.exitCode, 0) << failure.arguments;
    EXPECT_NE(run.err.find(failure.says), std::string::npos) << failure.arguments << ": " << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_TRUE(run.out.empty());
  }
}

TEST_F(Glj, XmlFailsOnlyForDocumentsReadInPart) {
  writeFile(dir / "late.xml", "<vashel><m>日本</m><m>A & B</m></vashel>");
  const GljRun late = glj("xml late.xml");
  EXPECT_EQ(late.exitCode, 1);
  EXPECT_EQ(late.out.rfind("[root tag]\n[vashel]\n[m]\n", 0), 0u) << late.out;
  EXPECT_NE(late.out.find("\n日本\n"), std::string::npos) << late.out;  // not garbled
  EXPECT_EQ(late.err, "  *** Parse error at line 1:\n   (4)not well-formed (invalid token)\n");

  // Read whole on the retry.
  const GljRun retried = glj("xml '" + kData + "/xml_shift_jis.xml'");
  EXPECT_EQ(retried.exitCode, 0) << retried.err;
  EXPECT_NE(retried.out.find("日本語のテキスト"), std::string::npos) << retried.out;
}

TEST_F(Glj, ScrambleRoundTripsByteForByte) {
  std::string bytes = "time: 0 10\r\nmesh a World\r v 1 2 3\n\n\n \xff\xfe\x80\x81 x\ntail";
  for (int c = 1; c < 256; ++c) {
    if (c != '\n' && c != '\r' && c != 0x0B && c != 0x0E) bytes += static_cast<char>(c);
  }
  bytes += "\n";
  writeFile(dir / "plain.gl", bytes);
  ASSERT_EQ(glj("scramble plain.gl scene.glj").exitCode, 0);
  const std::string scrambled = readFile(dir / "scene.glj");
  EXPECT_NE(scrambled, bytes);
  EXPECT_EQ(scrambled.size(), bytes.size());
  EXPECT_EQ(scrambled.find('\xff'), std::string::npos);  // never the end mark
  ASSERT_EQ(glj("descramble scene.glj back.gl").exitCode, 0);
  EXPECT_EQ(readFile(dir / "back.gl"), bytes);
}

TEST_F(Glj, ScrambledSceneLoadsAsThePlainOne) {
  fs::copy_file(kData + "/full.gl", dir / "full.gl");
  fs::copy_file(kData + "/full.gl.txt", dir / "full.gl.txt");
  fs::copy_file(kData + "/full.gl.txt", dir / "full.glj.txt");
  ASSERT_EQ(glj("scramble full.gl full.glj").exitCode, 0);
  const GljRun plain = glj("dump --full full.gl");
  const GljRun scrambled = glj("dump --full full.glj");
  ASSERT_EQ(scrambled.exitCode, 0) << scrambled.err;
  std::string expected = plain.out;
  expected.replace(expected.find("\"variant\":\"plain\""), 17, "\"variant\":\"j\"");
  EXPECT_EQ(scrambled.out, expected);
}

TEST_F(Glj, KFilesKeepTheFileMarkerAndWhatFollows) {
  const std::string head = "time: 0 3\nmesh a World\n v 1 2 3\n";
  const std::string tail = "FILE: voice.wav\n\x01\x02 raw \x0b bytes\n";
  writeFile(dir / "plain.gl", head + tail);
  ASSERT_EQ(glj("scramble plain.gl scene.glk").exitCode, 0);
  const std::string stored = readFile(dir / "scene.glk");
  ASSERT_GE(stored.size(), tail.size());
  EXPECT_EQ(stored.substr(stored.size() - tail.size()), tail);
  EXPECT_NE(stored.substr(0, head.size()), head);
  ASSERT_EQ(glj("descramble scene.glk back.gl").exitCode, 0);
  EXPECT_EQ(readFile(dir / "back.gl"), head + tail);
  const GljRun info = glj("info scene.glk");
  EXPECT_NE(info.out.find("variant:       k"), std::string::npos);
  EXPECT_NE(info.out.find("meshes:        1 (1 vertices, 0 faces)"), std::string::npos);
}

TEST_F(Glj, ScrambleRefusesBytesThatWouldBreakLines) {
  writeFile(dir / "plain.gl", "ok\nvertical\x0btab\n");
  const GljRun run = glj("scramble plain.gl scene.glj");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_NE(run.err.find("plain.gl:2: byte 0x0B"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace vashel
