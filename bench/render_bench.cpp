// One frame of a generated skinned character: pose and deformation on the
// CPU, then drawing and read-back on the GL context (llvmpipe when headless);
// and frames of the bundled character. The GL benchmarks take the geometry
// path as their last argument: 0 arrays, 1 the per-face reference.
#include <GL/gl.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "anim/pose.h"
#include "render/deform.h"
#include "render/offscreen.h"
#include "render/view.h"
#include "scene/loader.h"

namespace vashel {
namespace {

constexpr int kJoints = 100;
constexpr int kWidth = 240;
constexpr int kHeight = 320;

AnimCurve rampCurve(double from, double to, int endFrame) {
  AnimCurve curve(2);
  curve.times = {0.0, static_cast<double>(endFrame)};
  curve.values = {from, to};
  bakeCurve(curve, 0, endFrame);
  return curve;
}

// A chain of joints bending over 100 frames, and one grid mesh of about
// `vertexCount` vertices, two triangles per grid cell, 4 influences each.
Scene makeSkinnedScene(int vertexCount) {
  Scene scene;
  scene.sceneStartFrame = 0;
  scene.sceneEndFrame = 100;
  for (int j = 0; j < kJoints; ++j) {
    Joint joint;
    joint.name = "j" + std::to_string(j);
    joint.parent = j - 1;
    joint.curves[TranslateY] = rampCurve(j == 0 ? -40.0 : 0.8, j == 0 ? -40.0 : 0.8, 100);
    joint.curves[RotateZ] = rampCurve(0.0, 1.5, 100);
    joint.curves[RotateX] = rampCurve(0.0, -0.5, 100);
    scene.joints.push_back(std::move(joint));
  }

  const int columns = 100;
  const int rows = vertexCount / columns;
  Mesh mesh;
  mesh.name = "body";
  mesh.color = {0.8f, 0.6f, 0.5f, 1.0f};
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      MeshVertex v;
      v.base = {(c - columns / 2) * 0.5, -40.0 + r * 80.0 / rows, std::sin(c * 0.1) * 3.0, 1.0};
      v.deformed = v.base;
      const int along = r * kJoints / rows;
      SkinInfluence influences[4];
      for (int k = 0; k < 4; ++k) {
        const int joint = std::min(kJoints - 1, along + k);
        influences[k] = {joint, 0.4 - 0.1 * k};
      }
      mesh.vertices.push_back(v);
      mesh.setInfluences(mesh.vertices.size() - 1, influences);
    }
  }
  MeshVertex normal;
  normal.deformed = {0, 0, 1, 1};
  mesh.normals.push_back(normal);
  mesh.texcoords.assign(mesh.vertices.size(), TexCoord{});
  for (int r = 0; r + 1 < rows; ++r) {
    for (int c = 0; c + 1 < columns; ++c) {
      const int a = r * columns + c, b = a + 1, d = a + columns, e = d + 1;
      mesh.addFace({a, b, e}, {a, b, e}, {0, 0, 0});
      mesh.addFace({a, e, d}, {a, e, d}, {0, 0, 0});
    }
  }
  scene.meshes.push_back(std::move(mesh));
  return scene;
}

void BM_Deform(benchmark::State& bench) {
  Scene scene = makeSkinnedScene(static_cast<int>(bench.range(0)));
  DeformTables tables;
  updatePose(scene.joints, PoseFrame{50.0, 1, 0});
  deformMeshes(scene, tables, 50.0);
  for (auto _ : bench) {
    deformMeshes(scene, tables, 50.0);
    benchmark::DoNotOptimize(scene.meshes[0].vertexArray.data());
  }
  bench.counters["vertices"] = static_cast<double>(scene.meshes[0].vertices.size());
}
BENCHMARK(BM_Deform)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_PoseAndDeform(benchmark::State& bench) {
  Scene scene = makeSkinnedScene(static_cast<int>(bench.range(0)));
  DeformTables tables;
  double frame = 0.0;
  for (auto _ : bench) {
    frame = frame >= 100.0 ? 0.0 : frame + 1.0;
    updatePose(scene.joints, PoseFrame{frame, 1, 0});
    deformMeshes(scene, tables, frame);
    benchmark::DoNotOptimize(scene.meshes[0].vertexArray.data());
  }
}
BENCHMARK(BM_PoseAndDeform)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// The off-screen renderer showing the generated character from distance
// 150; null (and the benchmark skipped) without a GL context.
std::unique_ptr<OffscreenRenderer> openRenderer(benchmark::State& bench, Scene& scene) {
  auto renderer = std::make_unique<OffscreenRenderer>();
  if (!renderer->open(kWidth, kHeight)) {
    bench.SkipWithError(renderer->error().c_str());
    return nullptr;
  }
  renderer->showScene(scene);
  renderer->state.view.distance = -150.0;
  return renderer;
}

GeometryPath pathOf(benchmark::State& bench, int argument) {
  const bool perFace = bench.range(argument) != 0;
  bench.SetLabel(perFace ? "per face" : "arrays");
  return perFace ? GeometryPath::PerFace : GeometryPath::Arrays;
}

// Drawing and read-back of the posed mesh, without the pose.
void BM_DrawAndReadBack(benchmark::State& bench) {
  Scene scene = makeSkinnedScene(static_cast<int>(bench.range(0)));
  const auto renderer = openRenderer(bench, scene);
  if (!renderer) return;
  RenderState& state = renderer->state;
  state.geometry = pathOf(bench, 1);
  PlayerClock& clock = renderer->player.clock;
  clock.currentFrame = 50.0;
  updatePose(scene.joints, PoseFrame{50.0, 1, 0});
  deformMeshes(scene, state.deform, 50.0);
  setupRenderState(state);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  setupCamera(scene, state, clock.currentFrame);
  for (auto _ : bench) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawScene(state, scene, clock, 0, false, false);
    readBackFrame(state);
    clock.frameStats.clear();  // the statistic would grow over millions of runs
  }
  bench.counters["faces"] = static_cast<double>(scene.meshes[0].faceCount());
}
BENCHMARK(BM_DrawAndReadBack)
    ->ArgsProduct({{10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMillisecond);

// The whole frame as the program runs it: frame advance, camera, pose,
// deformation, drawing and read-back, stepping through the animation.
void BM_RenderFrame(benchmark::State& bench) {
  Scene scene = makeSkinnedScene(static_cast<int>(bench.range(0)));
  const auto renderer = openRenderer(bench, scene);
  if (!renderer) return;
  Player& player = renderer->player;
  renderer->state.geometry = pathOf(bench, 1);
  for (auto _ : bench) {
    // Frame-walk: each paint of an already shown frame steps one frame on.
    if (player.clock.currentFrame >= 100.0) player.clock.currentFrame = 0.0;
    renderFrame(renderer->state, scene, player, renderer->services, false);
    player.clock.frameStats.clear();
  }
}
BENCHMARK(BM_RenderFrame)->ArgsProduct({{10000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);

// The bundled character at the desktop's size, stepping through its frames
// as the program does: pose, deformation, outline and surface passes, and
// read-back. CPU time includes llvmpipe's rasteriser threads.
void BM_SampleFrame(benchmark::State& bench) {
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(VASHEL_SAMPLE_DIR);  // textures are found there
  Scene scene;
  LoadHooks hooks;
  LoadStatus status;
  const int loaded = tryLoadScene("data.glj", scene, hooks, status);
  auto renderer = std::make_unique<OffscreenRenderer>();
  const bool opened = loaded == 1 && renderer->open(kWidth, kHeight);
  if (opened) renderer->showScene(scene, nullptr);
  std::filesystem::current_path(previous);
  if (!opened) {
    bench.SkipWithError(loaded == 1 ? renderer->error().c_str() : "the sample did not load");
    return;
  }
  renderer->state.geometry = pathOf(bench, 0);
  Player& player = renderer->player;
  for (auto _ : bench) {
    if (player.clock.currentFrame >= scene.sceneEndFrame) player.clock.currentFrame = 1.0;
    renderFrame(renderer->state, scene, player, renderer->services, false);
    player.clock.frameStats.clear();
  }
  std::size_t faces = 0;
  for (const Mesh& mesh : scene.meshes) faces += mesh.faceCount();
  bench.counters["faces"] = static_cast<double>(faces);
}
BENCHMARK(BM_SampleFrame)->Arg(0)->Arg(1)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vashel

BENCHMARK_MAIN();
