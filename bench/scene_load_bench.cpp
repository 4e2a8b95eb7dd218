// Scene loading speed on a generated character: 200,000 vertices with
// normals, texture coordinates, faces and skin weights, and 100 joints with
// keyed curves. Reports the line parse in bytes per second and the finishing
// steps (baking, normals paired with skinned vertices) in time per load, apart.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "scene/loader.h"
#include "scene/scene_builder.h"

namespace vashel {
namespace {

constexpr int kVertices = 200'000;
constexpr int kJoints = 100;
constexpr int kKeysPerCurve = 12;
constexpr int kEndFrame = 300;

// A fixed pseudo-random sequence, so every run parses the same text.
class Numbers {
 public:
  double next(double scale) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return (static_cast<double>(state_ >> 11) / 9007199254740992.0 * 2 - 1) * scale;
  }

 private:
  std::uint64_t state_ = 42;
};

void appendf(std::string& out, const char* format, auto... values) {
  char buffer[256];
  const int n = std::snprintf(buffer, sizeof buffer, format, values...);
  out.append(buffer, static_cast<std::size_t>(n));
}

// Exporter-like text: six decimals, one item a line, indented attributes.
std::string generateScene() {
  Numbers random;
  std::string text;
  text.reserve(48u << 20);
  appendf(text, "time: 0 %d\nwindowsize: 400 600\n", kEndFrame);
  for (int j = 0; j < kJoints; ++j) {
    if (j == 0) {
      text += "joint j0\n";
    } else {
      appendf(text, "joint j%d j%d\n", j, (j - 1) / 2);
    }
    appendf(text, " translation %.6f %.6f %.6f\n", random.next(10), random.next(10), random.next(10));
    appendf(text, " jointOrientation %.6f %.6f %.6f\n", random.next(90), random.next(90),
            random.next(90));
    for (const char* key : {"translateX:", "translateY:", "translateZ:", "rotateX:", "rotateY:",
                            "rotateZ:"}) {
      appendf(text, " %s %d", key, kKeysPerCurve);
      for (int k = 0; k < kKeysPerCurve; ++k) {
        appendf(text, " %d %.6f", k * kEndFrame / (kKeysPerCurve - 1), random.next(1.5));
      }
      for (int k = 0; k < kKeysPerCurve; ++k) {
        appendf(text, " 1 1 %.6f 1", random.next(60));
      }
      text += '\n';
    }
  }
  text += "mesh body World\n";
  for (int i = 0; i < kVertices; ++i) {
    appendf(text, " v %.6f %.6f %.6f\n", random.next(50), random.next(100), random.next(20));
  }
  for (int i = 0; i < kVertices; ++i) {
    appendf(text, " vn %.6f %.6f %.6f\n", random.next(1), random.next(1), random.next(1));
  }
  for (int i = 0; i < kVertices; ++i) {
    appendf(text, " vt %.6f %.6f\n", random.next(1) * 0.5 + 0.5, random.next(1) * 0.5 + 0.5);
  }
  for (int i = 0; i < 2 * kVertices; ++i) {
    const int a = i / 2 + 1;
    const int b = (a % kVertices) + 1;
    const int c = ((a + 1) % kVertices) + 1;
    appendf(text, " f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
  }
  text += "skincluster skin\n target body\n joint 4";
  for (int j = 0; j < 4; ++j) appendf(text, " j%d", j * 7);
  text += '\n';
  for (int i = 0; i < kVertices; ++i) {
    const double w = random.next(0.5) + 0.5;
    appendf(text, " weight %d %.6f %.6f %.6f %.6f\n", i, w * 0.5, w * 0.3, w * 0.2, 1 - w);
  }
  text += "animation-set\n anim idle 1 300 0 persp ACT_0 x idle.wav\n";
  return text;
}

const std::string& sceneText() {
  static const std::string text = generateScene();
  return text;
}

void BM_ParseLines(benchmark::State& state) {
  const std::string& text = sceneText();
  LoadHooks hooks;
  for (auto _ : state) {
    auto scene = std::make_unique<Scene>();
    LoadStatus status;
    {
      SceneBuilder builder(*scene, hooks, status);
      builder.readLines(text, SceneVariant::Plain);
      benchmark::DoNotOptimize(scene->meshes.data());
    }
    state.PauseTiming();
    scene.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ParseLines)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_FinishingSteps(benchmark::State& state) {
  const std::string& text = sceneText();
  LoadHooks hooks;
  for (auto _ : state) {
    state.PauseTiming();
    auto scene = std::make_unique<Scene>();
    LoadStatus status;
    auto builder = std::make_unique<SceneBuilder>(*scene, hooks, status);
    builder->readLines(text, SceneVariant::Plain);
    state.ResumeTiming();
    builder->finish(LoadOptions{});
    benchmark::DoNotOptimize(scene->joints.data());
    state.PauseTiming();
    builder.reset();
    scene.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_FinishingSteps)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The whole of loadScene: one read of the file, the parse and the finishing steps.
void BM_LoadSceneFile(benchmark::State& state) {
  const std::string& text = sceneText();
  const std::string path = "/tmp/vashel_scene_load_bench.gl";
  if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
  }
  LoadHooks hooks;
  for (auto _ : state) {
    auto scene = std::make_unique<Scene>();
    LoadStatus status;
    loadScene(path, *scene, hooks, status);
    state.PauseTiming();
    scene.reset();
    state.ResumeTiming();
  }
  std::remove(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_LoadSceneFile)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
}  // namespace vashel

BENCHMARK_MAIN();
