// Frames rendered headless and checked pixel by pixel: blending and alpha,
// picking, visibility, materials, outlines, textures, lights and glyphs.
#include <GL/gl.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

#include "hostile_files.h"
#include "render/render_fixture.h"
#include "render/textures.h"
#include "render/view.h"
#include "scene/loader.h"

namespace vashel::testing {
namespace {

constexpr Rgba kTransparent{0, 0, 0, 0};

TEST(GlContextCreation, BadSizeIsAnErrorNotACrash) {
  GlContext context;
  EXPECT_FALSE(context.create(0, 320));
  EXPECT_FALSE(context.valid());
  EXPECT_NE(context.error(), "");
  EXPECT_FALSE(context.makeCurrent());
  EXPECT_FALSE(context.create(240, -1));
  EXPECT_TRUE(context.create(16, 16)) << context.error();
  EXPECT_TRUE(context.valid());
}

TEST_F(RenderTest, EmptySceneIsFullyTransparent) {
  const FrameView frame = draw();
  ASSERT_EQ(frame.bgra.size(), std::size_t{kWidth} * kHeight * 4);
  for (std::uint8_t byte : frame.bgra) ASSERT_EQ(byte, 0);
}

TEST_F(RenderTest, HalfRedReadsBackAsBottomUpBgraInBothTargets) {
  for (GlTarget target : {GlTarget::Pbuffer, GlTarget::SurfacelessFbo}) {
    state = RenderState{};
    SetUpContext(target);
    scene.meshes = {quad("red", -20, -20, 20, 20)};
    scene.meshes[0].color = {1, 0, 0, 0.5f};
    const FrameView frame = draw();
    // Colour scaled by alpha, alpha by itself: (128, 0, 0, 64).
    const std::size_t at = ((kHeight - 1 - py(0)) * std::size_t{kWidth} + px(0)) * 4;
    EXPECT_EQ(frame.bgra[at + 0], 0);
    EXPECT_EQ(frame.bgra[at + 1], 0);
    EXPECT_EQ(frame.bgra[at + 2], 128);
    EXPECT_EQ(frame.bgra[at + 3], 64);
    EXPECT_EQ(frame.rgbaAt(px(-40), py(0)), kTransparent);
  }
}

// A loaded face whose corners name a texture coordinate or normal beyond the
// lists is drawn over the same pixels as the face without them.
TEST_F(RenderTest, LoadedFaceWithAnOutOfRangeTextureOrNormalIndexIsDrawn) {
  auto coveredPixels = [&](const std::string& face) {
    scene = Scene{};
    // A scene of the same shape would reuse them.
    state.deform = DeformTables{};
    state.meshArrays = MeshArrayCache{};
    const std::string text =
        "mesh a World\n v -20 -20 0\n v 20 -20 0\n v 20 20 0\n v -20 20 0\n vt 0 0\n"
        " vn 0 0 1\n color 1 1 1\n" + face + "\n";
    LoadHooks hooks;
    LoadStatus status;
    parseScene(text, LoadOptions{}, scene, hooks, status);
    scene.activeCamera = -1;  // the built-in camera
    const FrameView frame = draw();
    int covered = 0;
    for (std::size_t i = 3; i < frame.bgra.size(); i += 4) covered += frame.bgra[i] != 0;
    return covered;
  };
  const int whole = coveredPixels(" f 1/1/1 2/1/1 3/1/1 4/1/1");
  EXPECT_GT(whole, 1000);
  EXPECT_EQ(coveredPixels(" f 1/1/1 2/7/1 3/1/1 4/1/9"), whole);
  EXPECT_EQ(coveredPixels(" f 1/1/1 2/-3/1 3/1/1 4/1/-2"), whole);
}

TEST_F(RenderTest, PickOutsideTheWindowFindsNothing) {
  scene.meshes.push_back(pickOnly(quad("all", -500, -500, 500, 500), "all"));
  state.pickState = kPickToSelect;
  state.mouseButton = 1;
  for (ClientPoint point : {ClientPoint{-1, 10}, ClientPoint{kWidth, 10}, ClientPoint{10, kHeight},
                            ClientPoint{10, -1}}) {
    state.pickState = kPickToSelect;
    state.mousePos = point;
    draw();
    EXPECT_EQ(state.lastPickIndex, -1) << point.x << "," << point.y;
  }
  EXPECT_EQ(pickAt(0, 0), 0);
  state.pickState = kPickToSelect;
  state.mousePos = {0, 0};  // the top-left pixel is inside
  draw();
  EXPECT_EQ(state.lastPickIndex, 0);
}

TEST_F(RenderTest, SixtyFourthMeshDecodesBackFromItsPickColour) {
  EXPECT_EQ(pickColor(0), (std::array<int, 3>{4, 0, 0}));
  EXPECT_EQ(pickColor(62), (std::array<int, 3>{252, 0, 0}));
  EXPECT_EQ(pickColor(63), (std::array<int, 3>{0, 4, 0}));
  EXPECT_EQ(pickColor(4095), (std::array<int, 3>{0, 0, 4}));
  EXPECT_EQ(decodePickColor(0, 4, 0), 63);
  EXPECT_EQ(decodePickColor(0, 0, 0), -1);

  for (int i = 0; i < 70; ++i) {
    const double x = i == 63 ? -10 : 1000 + i;  // only mesh 63 is in view
    const std::string name = std::string("m").append(std::to_string(i));
    scene.meshes.push_back(pickOnly(quad(name, x, -10, x + 20, 10), "p"));
  }
  EXPECT_EQ(pickAt(0, 0), 63);
}

TEST_F(RenderTest, VertexColoursDoNotDisturbThePickColour) {
  Mesh target = pickOnly(quad("coloured", -20, -20, 20, 20), "p");
  target.colors.assign(4, VertexColor{1, 1, 1, 1});
  scene.meshes = {quad("first", 500, 500, 510, 510), target};
  EXPECT_EQ(pickAt(0, 0), 1);
}

TEST_F(RenderTest, PickToPlayStartsTheActionNamedByTheMesh) {
  scene.meshes.push_back(pickOnly(quad("belly", -20, -20, 20, 20), "wave"));
  Action& wave = scene.actions[7];
  wave.id = 7;
  wave.name = "wave";
  wave.startFrame = 30;
  wave.endFrame = 40;
  player.firstCallDone = true;
  pickAt(0, 0, kPickToPlay);
  EXPECT_EQ(wave.playCount, 1);
  EXPECT_EQ(player.clock.startFrame, 30);
  EXPECT_EQ(player.clock.endFrame, 40);
}

TEST_F(RenderTest, PickToSelectChoosesTheJointNamedByTheMeshWhileNotPlaying) {
  scene.joints.resize(2);
  scene.joints[1].name = "elbow";
  scene.joints[1].limits = {0, 0, -30, 30, 0, 10};  // y and z may turn
  scene.meshes.push_back(pickOnly(quad("arm", -20, -20, 20, 20), "elbow"));
  scene.meshes.push_back(pickOnly(quad("leg", 30, -20, 60, 20), "nobody"));

  EXPECT_EQ(pickAt(0, 0), 0);
  EXPECT_EQ(state.selectedJoint, 1);
  EXPECT_EQ(state.selectedAxisMask, 6);
  EXPECT_EQ(state.selectionIndex, 1);

  pickAt(45, 0);  // a mesh whose name is no joint clears the selection
  EXPECT_EQ(state.selectedJoint, -1);
  EXPECT_EQ(state.selectionIndex, 0);

  player.clock.playState = kPlaying;
  player.clock.startFrame = player.clock.endFrame = 1;
  pickAt(0, 0);
  EXPECT_EQ(state.selectedJoint, -1);
}

TEST_F(RenderTest, ColourCurvesWithoutDiffuseDrawBlackAndKeepAlpha) {
  Mesh mesh = quad("tinted", -20, -20, 20, 20);
  mesh.color = {1, 1, 1, 1};
  mesh.colorR = constantCurve(1.0);
  mesh.colorG = constantCurve(1.0);
  scene.meshes.push_back(mesh);
  EXPECT_EQ(rgbaAt(0, 0), (Rgba{0, 0, 255, 255}));  // blue has no curve and stays
  scene.meshes[0].diffuse = constantCurve(0.5);
  const Rgba half = rgbaAt(0, 0);
  EXPECT_NEAR(half[0], 128, 1);
  EXPECT_NEAR(half[1], 128, 1);
  EXPECT_EQ(half[2], 255);
}

TEST_F(RenderTest, AlphaGainScalesMaterialAndVertexAlpha) {
  Mesh mesh = quad("faded", -20, -20, 20, 20);
  mesh.color = {0, 1, 0, 1};
  mesh.alphaGain = constantCurve(0.5);
  scene.meshes.push_back(mesh);
  EXPECT_EQ(rgbaAt(0, 0), (Rgba{0, 128, 0, 64}));
  scene.meshes[0].colors.assign(4, VertexColor{0, 0, 1, 1});  // per-vertex blue
  EXPECT_EQ(rgbaAt(0, 0), (Rgba{0, 0, 128, 64}));
  scene.meshes[0].alphaOffset = constantCurve(0.5);  // material alpha only
  EXPECT_EQ(rgbaAt(0, 0), (Rgba{0, 0, 128, 64}));
}

TEST_F(RenderTest, OutlineShowsAroundTheMesh) {
  Mesh mesh = quad("outlined", -20, -20, 20, 20);
  mesh.color = {1, 1, 1, 1};
  mesh.edgeLevel = 5.0;
  // Normals pointing outwards so that the outline grows the quad.
  mesh.normals.clear();
  for (auto [x, y] : {std::pair{-1.0, -1.0}, {1.0, -1.0}, {1.0, 1.0}, {-1.0, 1.0}}) {
    MeshVertex n;
    n.deformed = {x, y, 0, 1};
    mesh.normals.push_back(n);
  }
  for (int corner = 0; corner < 4; ++corner) mesh.editFace(0).normal[corner] = corner;
  scene.meshes.push_back(mesh);
  const FrameView frame = draw();
  EXPECT_EQ(frame.rgbaAt(px(0), py(0)), (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(frame.rgbaAt(px(22), py(0)), (Rgba{51, 51, 51, 255}));
  EXPECT_EQ(frame.rgbaAt(px(30), py(0)), kTransparent);
}

TEST_F(RenderTest, BackFacesAreCulledOnlyForSingleSidedMeshes) {
  Mesh mesh = quad("back", -20, -20, 20, 20);
  mesh.color = {1, 0, 0, 1};
  std::swap(mesh.editFace(0).vertex[1], mesh.editFace(0).vertex[3]);  // clockwise: facing away
  scene.meshes.push_back(mesh);
  EXPECT_EQ(rgbaAt(0, 0), (Rgba{255, 0, 0, 255}));
  scene.meshes[0].doubleSided = 0;
  EXPECT_EQ(rgbaAt(0, 0), kTransparent);
}

TEST_F(RenderTest, FaceIndicesOutsideTheirListsAreSkipped) {
  Mesh mesh = quad("broken", -20, -20, 20, 20);
  mesh.color = {1, 1, 0, 1};
  mesh.clearFaces();
  mesh.addFace({0, 1, 2, 3, 99}, {0, 1, -1, 42, 7}, {0, 5, 0});  // normals short of the corners
  mesh.addFace({-3, 1000}, {0, 0}, {0, 0});
  mesh.colors = {VertexColor{-1, 0, 0, 1}};  // fewer colours than vertices
  scene.meshes.push_back(mesh);
  EXPECT_EQ(rgbaAt(0, 0), (Rgba{255, 255, 0, 255}));
}

TEST_F(RenderTest, SceneWithoutJointsIsPresentedOnlyOnRequest) {
  scene.meshes.push_back(quad("still", -20, -20, 20, 20));
  player.clock.lastIntegerFrame = -1000;
  state.presentRequest = false;
  renderFrame(state, scene, player, services, false);
  EXPECT_EQ(presenter.count, 0);
  draw();
  EXPECT_EQ(presenter.count, 1);
  EXPECT_FALSE(state.presentRequest);

  scene.joints.resize(1);  // a joint changes every frame
  player.clock.lastIntegerFrame = -1000;
  renderFrame(state, scene, player, services, false);
  EXPECT_EQ(presenter.count, 2);
  EXPECT_TRUE(state.sceneChanged);
}

// Textures: files in a folder of their own, entered as the working directory.
class TextureTest : public RenderTest {
 protected:
  void SetUp() override {
    RenderTest::SetUp();
    previous_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() / ("vashel_tex_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }

  // A 2 x 2 uncompressed 24-bit TGA of one colour.
  static void writeTga(const std::string& name, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::ofstream out(name, std::ios::binary);
    const char header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0};
    out.write(header, sizeof header);
    const char bgr[3] = {static_cast<char>(b), static_cast<char>(g), static_cast<char>(r)};
    for (int i = 0; i < 4; ++i) out.write(bgr, 3);
  }

  void addTexturedQuad(const std::string& texture, double x0, double x1) {
    Mesh mesh = quad(texture, x0, -20, x1, 20);
    mesh.color = {1, 1, 1, 1};
    mesh.texture = static_cast<int>(scene.textureNames.size());
    scene.textureNames.push_back(texture);
    scene.meshes.push_back(mesh);
  }

  // Uploads and returns what was reported.
  std::string upload() {
    std::FILE* log = std::tmpfile();
    uploadTextures(scene, state, log);
    std::rewind(log);
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, log)) text += buffer;
    std::fclose(log);
    return text;
  }

  std::filesystem::path previous_;
  std::filesystem::path dir_;
};

TEST_F(TextureTest, FileBeatsEmbeddedPixelsFullPathComesLastMissingDrawsUntextured) {
  writeTga("both.tga", 0, 0, 255);
  std::filesystem::create_directories("deep");
  writeTga("deep/only_here.tga", 255, 255, 0);
  TextureImage embedded;
  embedded.name = "both.tga";
  embedded.width = embedded.height = 1;
  embedded.pixels = {0xFF0000FFu};  // red
  scene.textureImages.push_back(embedded);
  addTexturedQuad("both.tga", -60, -30);
  addTexturedQuad("deep/only_here.tga", -15, 15);
  addTexturedQuad("nowhere.tga", 30, 60);

  EXPECT_EQ(upload(), "nowhere.tga: ファイルないよ\n");
  EXPECT_TRUE(scene.textureImages.empty());
  EXPECT_EQ(state.textureNames[2], -1);
  const FrameView frame = draw();
  EXPECT_EQ(frame.rgbaAt(px(-45), py(0)), (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(frame.rgbaAt(px(0), py(0)), (Rgba{255, 255, 0, 255}));
  EXPECT_EQ(frame.rgbaAt(px(45), py(0)), (Rgba{255, 255, 255, 255}));
  state.flags.texture = 0;
  EXPECT_EQ(rgbaAt(-45, 0), (Rgba{255, 255, 255, 255}));
}

TEST_F(TextureTest, SizesAreResampledDownToPowersOfTwo) {
  for (auto [w, h] : {std::pair{300, 200}, {512, 512}, {1, 3}}) {
    TextureImage image;
    image.name = "t" + std::to_string(w);
    image.width = w;
    image.height = h;
    image.pixels.assign(static_cast<std::size_t>(w) * h, 0xFF00FF00u);
    scene.textureImages.push_back(image);
    scene.textureNames.push_back(image.name);
  }
  upload();
  const int expected[3][2] = {{256, 128}, {512, 512}, {1, 2}};
  for (int i = 0; i < 3; ++i) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(state.textureNames[i]));
    GLint w = 0, h = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    EXPECT_EQ(w, expected[i][0]) << i;
    EXPECT_EQ(h, expected[i][1]) << i;
  }
  EXPECT_EQ(powerOfTwoBelow(300), 256);
  EXPECT_EQ(powerOfTwoBelow(1), 1);
  EXPECT_EQ(powerOfTwoBelow(0), 1);
  EXPECT_EQ(textureBaseName("maps/skin.tga"), "skin.tga");
  EXPECT_EQ(textureBaseName("skin.tga"), "skin.tga");
}

TEST_F(TextureTest, RefusedFilesAndTexturesBeyondTheGlMaximumAreReportedAndDrawnUntextured) {
  HostileFiles hostile;
  std::filesystem::create_symlink(hostile.fifo(), "pipe.tga");
  std::filesystem::create_symlink(hostile.zeroLink(), "zero.tga");
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  ASSERT_GT(maxSize, 0);
  TextureImage wide;
  wide.name = "wide";
  wide.width = 2 * maxSize;
  wide.height = 1;
  wide.pixels.assign(static_cast<std::size_t>(wide.width), 0xFF0000FFu);
  scene.textureImages.push_back(wide);
  addTexturedQuad("pipe.tga", -60, -30);
  addTexturedQuad("zero.tga", -15, 15);
  addTexturedQuad("wide", 30, 60);

  const std::string max = std::to_string(maxSize);
  EXPECT_EQ(upload(), "pipe.tga: not a regular file\npipe.tga: ファイルないよ\n"
                      "zero.tga: not a regular file\nzero.tga: ファイルないよ\n"
                      "wide: " + std::to_string(2 * maxSize) +
                          " x 1 is larger than the largest texture of this GL (" + max +
                          "); drawn untextured\n");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(state.textureNames[i], -1) << i;
  const FrameView frame = draw();
  for (double x : {-45.0, 0.0, 45.0}) {
    EXPECT_EQ(frame.rgbaAt(px(x), py(0)), (Rgba{255, 255, 255, 255})) << x;
  }
}

TEST_F(RenderTest, LightsSwitchLightingOnAndReportUnknownTypes) {
  Mesh mesh = quad("lit", -20, -20, 20, 20);
  mesh.color = {1, 1, 1, 1};
  mesh.ambientColor = {0, 0, 0, 1};
  scene.meshes.push_back(mesh);
  EXPECT_EQ(rgbaAt(0, 0), (Rgba{255, 255, 255, 255}));  // unlit: the colour itself

  Light light;
  light.type = kLightDirectional;
  light.color = {0.5f, 0.5f, 0.5f, 0};
  scene.lights.push_back(light);
  const Rgba lit = rgbaAt(0, 0);
  EXPECT_EQ(state.flags.light, 1);
  EXPECT_NEAR(lit[0], 128, 2);  // diffuse 0.5 along the normal, global ambient 0.2 * 0
  EXPECT_EQ(lit[3], 255);

  scene.lights[0].type = kLightNone;
  std::FILE* log = std::tmpfile();
  setupLights(scene, state, 1.0, log);
  std::rewind(log);
  char line[128] = {};
  ASSERT_TRUE(std::fgets(line, sizeof line, log));
  EXPECT_STREQ(line, "calcLightPos: ERROR (unknown type)\n");
  std::fclose(log);
}

TEST_F(RenderTest, GlyphListsDrawOurFont) {
  const Glyph i = glyphFor('I');
  EXPECT_EQ(i.rows[0], 0x0E);  // .###.
  EXPECT_EQ(i.rows[3], 0x04);  // ..#..
  EXPECT_EQ(glyphFor(200).rows, (std::array<std::uint8_t, kGlyphHeight>{}));
  EXPECT_TRUE(glyphFor('g').descends);

  // "II" at the bottom-left corner of the window, in white.
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, kWidth, 0, kHeight, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_DEPTH_TEST);
  glColor3f(1, 1, 1);
  glRasterPos2i(10, 10);
  glListBase(kGlyphListBase);
  glCallLists(2, GL_UNSIGNED_BYTE, "II");
  readBackFrame(state);
  const FrameView frame = frameView(state);
  auto lit = [&](int x, int yUp) { return frame.rgbaAt(x, kHeight - 1 - yUp)[3] != 0; };
  for (int glyph = 0; glyph < 2; ++glyph) {
    const int left = 10 + glyph * kGlyphAdvance;
    for (int row = 0; row < kGlyphHeight; ++row) {
      for (int x = 0; x < kGlyphWidth; ++x) {
        const bool set = (i.rows[kGlyphHeight - 1 - row] & (0x10 >> x)) != 0;
        EXPECT_EQ(lit(left + x, 10 + row), set) << glyph << " " << x << "," << row;
      }
    }
  }
}

TEST_F(RenderTest, JointDisplayMarksEachJointOriginAndBone) {
  scene.joints.resize(2);
  scene.joints[0].curves[TranslateX] = constantCurve(-30.0);
  scene.joints[1].name = "tip";
  scene.joints[1].parent = 0;
  scene.joints[1].curves[TranslateX] = constantCurve(60.0);
  state.flags.joint = 1;
  const FrameView frame = draw();
  // The white point of size 3 shows around each origin.
  auto whiteNear = [&](double x) {
    int white = 0;
    for (int dy = -2; dy <= 2; ++dy) {
      for (int dx = -2; dx <= 2; ++dx) {
        if (frame.rgbaAt(px(x) + dx, py(0) + dy) == Rgba{255, 255, 255, 255}) ++white;
      }
    }
    return white;
  };
  EXPECT_GT(whiteNear(-30), 0);
  EXPECT_GT(whiteNear(30), 0);
  EXPECT_EQ(whiteNear(-15), 0);
  EXPECT_EQ(frame.rgbaAt(px(-15), py(0)), (Rgba{153, 153, 153, 255}));  // the bone
  EXPECT_EQ(frame.rgbaAt(px(-15), py(10)), kTransparent);
}

TEST_F(RenderTest, JointDisplayStaysOutOfThePickPass) {
  // Mesh 62's pick colour is pure red, the colour of a joint's x axis.
  for (int i = 0; i < 63; ++i) {
    const std::string name = std::string("m").append(std::to_string(i));
    scene.meshes.push_back(pickOnly(quad(name, 1000, 0, 1010, 10), "p"));
  }
  scene.joints.resize(1);
  scene.joints[0].curves[TranslateY] = constantCurve(0.5 / kPixelsPerUnit);  // a row's centre
  state.flags.joint = 1;
  state.pickState = kPickToSelect;
  state.mouseButton = 1;
  state.mousePos = {117, 159};
  const FrameView frame = draw();
  EXPECT_EQ(frame.rgbaAt(117, 159), (Rgba{255, 0, 0, 255}));
  EXPECT_EQ(state.lastPickIndex, -1);
}

TEST_F(TextureTest, EachDrawSetsTheFilterItsMeshAsksFor) {
  // Uploading leaves every texture linear; a tex-filter of 0 or less asks
  // for nearest, whatever the previous mesh asked for.
  const std::pair<int, GLint> cases[] = {
      {1, GL_LINEAR}, {0, GL_NEAREST}, {5, GL_LINEAR}, {-1, GL_NEAREST}};
  double x = -75;
  for (const auto& [filter, expected] : cases) {
    TextureImage image;
    image.name = "t" + std::to_string(scene.textureNames.size());
    image.width = image.height = 2;
    image.pixels.assign(4, 0xFF00FF00u);
    scene.textureImages.push_back(image);
    addTexturedQuad(image.name, x, x + 30);
    scene.meshes.back().texFilter = filter;
    x += 40;
  }
  upload();
  draw();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(state.textureNames[i]));
    for (GLenum parameter : {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER}) {
      GLint value = 0;
      glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
      EXPECT_EQ(value, cases[i].second) << "mesh " << i << " parameter " << std::hex << parameter;
    }
  }
}

// A frame sets every GL state it draws with: whatever another user of the
// context left behind changes no pixel. Each case dirties a fresh context.
TEST_F(TextureTest, AFrameDrawsTheSameWhateverStateTheContextWasLeftIn) {
  // Lit, textured, translucent, outlined, with guide lines and the joint
  // display; the first corner takes the current normal and texture coordinate.
  auto prepare = [&] {
    state = RenderState{};
    SetUpContext(GlTarget::Automatic);
    scene = Scene{};
    TextureImage image;
    image.name = "checks";
    image.width = image.height = 2;
    image.pixels = {0xFF0000FFu, 0xFF00FF00u, 0xFFFF0000u, 0xFFFFFFFFu};
    scene.textureImages.push_back(image);
    addTexturedQuad(image.name, -40, 40);
    Mesh& mesh = scene.meshes.back();
    mesh.texFilter = 0;
    mesh.color = {1, 1, 1, 0.75f};
    mesh.edgeLevel = 3.0;
    mesh.ambientColor = {0.3f, 0.3f, 0.3f, 1};
    mesh.specularColor = {0.3f, 0.3f, 0.3f, 1};
    mesh.cosinePower = 8;
    mesh.colors.assign(4, VertexColor{0.9, 0.6, 0.3, 1});
    mesh.normals[0].deformed = {0, 0.5, 2, 1};  // not of unit length
    mesh.editFace(0).normal[0] = 7;
    mesh.editFace(0).texcoord[0] = 7;
    Light light;
    light.type = kLightDirectional;
    light.color = {0.3f, 0.3f, 0.3f, 0};  // nothing saturates
    light.curves[RotateY] = constantCurve(20.0);
    scene.lights.push_back(light);
    scene.joints.resize(2);
    scene.joints[1].parent = 0;
    scene.joints[1].curves[TranslateY] = constantCurve(30.0);
    state.flags.joint = 1;
    state.flags.guide = 1;
    upload();
  };
  prepare();
  const FrameView clean = draw();
  const std::vector<std::uint8_t> reference(clean.bgra.begin(), clean.bgra.end());
  int covered = 0;
  for (std::size_t i = 3; i < reference.size(); i += 4) covered += reference[i] != 0;
  ASSERT_GT(covered, 5000);

  const GLfloat white[4] = {1, 1, 1, 1};
  const std::pair<const char*, std::function<void()>> dirt[] = {
      {"viewport", [] { glViewport(0, 0, 16, 16); }},
      {"polygon mode", [] { glPolygonMode(GL_FRONT_AND_BACK, GL_LINE); }},
      {"alpha test", [] { glEnable(GL_ALPHA_TEST); glAlphaFunc(GL_GREATER, 0.9f); }},
      {"scissor", [] { glEnable(GL_SCISSOR_TEST); glScissor(0, 0, 8, 8); }},
      {"fog", [] { glEnable(GL_FOG); }},
      {"colour material", [] { glEnable(GL_COLOR_MATERIAL); }},
      {"light model",
       [&] {
         glLightModelfv(GL_LIGHT_MODEL_AMBIENT, white);
         glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
       }},
      {"a light the scene does not have",
       [&] {
         glLightfv(GL_LIGHT5, GL_AMBIENT, white);
         glEnable(GL_LIGHT5);
       }},
      {"lighting on", [] { glEnable(GL_LIGHTING); }},
      {"texturing on",
       [&] {
         glEnable(GL_TEXTURE_2D);
         glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(state.textureNames[0]));
       }},
      {"texture environment", [] { glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE); }},
      {"texture matrix",
       [] {
         glMatrixMode(GL_TEXTURE);
         glTranslatef(0.5f, 0.5f, 0.0f);
         glMatrixMode(GL_MODELVIEW);
       }},
      {"texture coordinate generation", [] { glEnable(GL_TEXTURE_GEN_S); }},
      {"colour mask", [] { glColorMask(GL_TRUE, GL_FALSE, GL_TRUE, GL_TRUE); }},
      {"logic op", [] { glEnable(GL_COLOR_LOGIC_OP); glLogicOp(GL_INVERT); }},
      {"line width", [] { glLineWidth(4.0f); }},
      {"current normal and texture coordinate",
       [] {
         glNormal3f(1, 0, 0);
         glTexCoord2f(0.75f, 0.25f);
       }},
      {"depth and blending",
       [] {
         glDepthFunc(GL_ALWAYS);
         glDepthMask(GL_FALSE);
         glBlendFunc(GL_ONE, GL_ZERO);
         glDisable(GL_BLEND);
       }},
      {"faces", [] { glCullFace(GL_FRONT); glFrontFace(GL_CW); glShadeModel(GL_FLAT); }},
      {"normalize", [] { glDisable(GL_NORMALIZE); }},
      {"a colour array left enabled",
       [] {
         static const GLfloat transparent[4096] = {};
         glColorPointer(4, GL_FLOAT, 0, transparent);
         glEnableClientState(GL_COLOR_ARRAY);
       }},
  };
  for (const auto& [name, dirty] : dirt) {
    prepare();
    dirty();
    const FrameView frame = draw();
    ASSERT_EQ(frame.bgra.size(), reference.size());
    int differing = 0;
    for (std::size_t i = 0; i < reference.size(); ++i) differing += frame.bgra[i] != reference[i];
    EXPECT_EQ(differing, 0) << name;
  }
}

}  // namespace
}  // namespace vashel::testing
