// glj render on the test scenes: the PNG it writes and what --pick prints.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using Rgba = std::array<int, 4>;

struct Png {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;  // top row first
  Rgba at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
  }
};

bool readPng(const std::string& path, Png& out) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  if (image.format != PNG_FORMAT_RGBA) {
    png_image_free(&image);
    return false;  // glj writes 8-bit RGBA; anything else is a fault
  }
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.rgba.resize(PNG_IMAGE_SIZE(image));
  return png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr) != 0;
}

struct GljRun {
  int exitCode = -1;
  std::string out;
};

GljRun glj(const std::string& arguments) {
  GljRun run;
  const std::string command =
      std::string(VASHEL_BIN_DIR) + "/glj render " + arguments + " 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
  const int status = pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class GljRender : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("vashel_glj_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string scene(const char* name) { return std::string(VASHEL_TEST_DATA) + "/" + name; }
  std::string out(const char* name) { return (dir_ / name).string(); }

  // Renders and reads the picture back; fails the test when either step fails.
  Png render(const std::string& arguments, const char* name = "out.png") {
    Png png;
    const GljRun run = glj(arguments + " --out " + out(name));
    EXPECT_EQ(run.exitCode, 0) << arguments;
    EXPECT_TRUE(readPng(out(name), png)) << arguments;
    return png;
  }

  std::filesystem::path dir_;
};

// The test scenes are 120 x 160 with a camera 200 in front of the origin and
// a 54-degree view: 0.785 pixels per unit.
int px(double x) { return static_cast<int>(60 + x * 80.0 / 101.90508989); }
int py(double y) { return static_cast<int>(80 - y * 80.0 / 101.90508989); }

TEST_F(GljRender, WritesTheSceneWithItsAlphaAtTheScenesWindowSize) {
  const Png png = render(scene("render_scene.gl"));
  ASSERT_EQ(png.width, 120);
  ASSERT_EQ(png.height, 160);
  EXPECT_EQ(png.at(px(-25), py(0)), (Rgba{128, 0, 0, 64}));  // red at alpha 0.5
  EXPECT_EQ(png.at(0, 0), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(png.at(px(25), py(-10)), (Rgba{0, 0, 0, 0}));  // the pick mesh is invisible
  EXPECT_EQ(png.at(px(0), py(-32)), (Rgba{0, 0, 0, 0}));   // visibility 0 at frame 1
  EXPECT_EQ(render(scene("render_scene.gl") + " --frame 5").at(px(0), py(-32)),
            (Rgba{0, 255, 0, 255}));
}

TEST_F(GljRender, PickPrintsTheMeshOrMinusOne) {
  const std::string file = scene("render_scene.gl");
  auto pick = [&](double x, double y, const char* frame) {
    return glj(file + " --frame " + frame + " --pick " + std::to_string(px(x)) + "," +
               std::to_string(py(y)) + " --out " + out("pick.png"))
        .out;
  };
  EXPECT_EQ(pick(25, -10, "1"), "1 hotspot\n");
  EXPECT_EQ(pick(25, 10, "1"), "-1\n");  // behind the bounding box
  EXPECT_EQ(pick(-25, 0, "1"), "-1\n");  // visible meshes are no pick targets
  EXPECT_EQ(pick(0, 32, "1"), "-1\n");   // visibility 0
  EXPECT_EQ(pick(0, 32, "5"), "4 ghostspot\n");
  // The picture after the pick is the ordinary one.
  Png png;
  ASSERT_TRUE(readPng(out("pick.png"), png));
  EXPECT_EQ(png.at(px(-25), py(0)), (Rgba{128, 0, 0, 64}));
}

TEST_F(GljRender, TexturesFromAFileByBaseNameAndFromTheScene) {
  const Png png = render(scene("render_textured.gl"));
  EXPECT_EQ(png.at(px(-25), py(0)), (Rgba{0, 255, 0, 255}));      // maps/render_green.tga
  EXPECT_EQ(png.at(px(25), py(0)), (Rgba{255, 0, 0, 255}));       // texture-data
  EXPECT_EQ(png.at(px(0), py(-32)), (Rgba{255, 255, 255, 255}));  // missing: untextured
}

TEST_F(GljRender, SkinAndBlendShapesFollowTheFrame) {
  // The blade is bound to a joint that turns 90 degrees from frame 0 to 10;
  // the square blends 30 units up over the same frames.
  const Png first = render(scene("render_skin.gl") + " --frame 0", "first.png");
  EXPECT_EQ(first.at(px(30), py(0)), (Rgba{255, 255, 0, 255}));
  EXPECT_EQ(first.at(px(0), py(30)), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(first.at(px(-40), py(-40)), (Rgba{0, 0, 255, 255}));

  const Png last = render(scene("render_skin.gl") + " --frame 10", "last.png");
  EXPECT_EQ(last.at(px(30), py(0)), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(last.at(px(0), py(30)), (Rgba{255, 255, 0, 255}));
  EXPECT_EQ(last.at(px(-40), py(-40)), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(last.at(px(-40), py(-10)), (Rgba{0, 0, 255, 255}));

  const Png middle = render(scene("render_skin.gl") + " --frame 5", "middle.png");
  EXPECT_EQ(middle.at(px(-40), py(-25)), (Rgba{0, 0, 255, 255}));  // weight 0.5: half way
}

TEST_F(GljRender, SizeYawAndGuideOptions) {
  const Png small = render(scene("render_scene.gl") + " --size 60x80");
  EXPECT_EQ(small.width, 60);
  EXPECT_EQ(small.height, 80);
  // Turned 180 degrees about y the red square shows on the other side.
  const Png turned = render(scene("render_scene.gl") + " --yaw 180", "turned.png");
  EXPECT_EQ(turned.at(px(-25), py(0)), (Rgba{0, 0, 0, 0}));
  EXPECT_EQ(turned.at(px(25), py(0)), (Rgba{128, 0, 0, 64}));
  const Png guide = render(scene("render_scene.gl") + " --guide", "guide.png");
  EXPECT_EQ(guide.at(px(10), py(-5)), (Rgba{255, 255, 255, 255}));  // the hotspot's left edge
}

TEST_F(GljRender, BadArgumentsAndFilesFailWithAMessage) {
  EXPECT_NE(glj(scene("render_scene.gl")).exitCode, 0);  // no --out
  EXPECT_NE(glj("--out " + out("x.png")).exitCode, 0);   // no scene
  EXPECT_NE(glj(scene("render_scene.gl") + " --size 0x10 --out " + out("x.png")).exitCode, 0);
  EXPECT_NE(glj(scene("render_scene.gl") + " --pick 3 --out " + out("x.png")).exitCode, 0);
  EXPECT_NE(glj(scene("render_scene.gl") + " --frame abc --out " + out("x.png")).exitCode, 0);
  EXPECT_NE(glj(scene("render_scene.gl") + " --bogus --out " + out("x.png")).exitCode, 0);
  EXPECT_NE(glj(scene("no_such_scene.gl") + " --out " + out("x.png")).exitCode, 0);
  EXPECT_NE(glj(scene("render_scene.gl") + " --out /nonexistent/dir/x.png").exitCode, 0);
  EXPECT_FALSE(std::filesystem::exists(out("x.png")));
}

}  // namespace
