// Scene loading speed on a generated character: 200,000 vertices with
// normals, texture coordinates, faces and skin weights, and 100 joints with
// keyed curves. Reports the line parse in bytes per second and the finishing
// steps (baking, normals paired with skinned vertices) in time per load, apart.
// The parse is also given as a share of a memchr scan for line ends over the
// same text, timed in the same run, which holds across machines; and the
// parsed model's heap beside the same data in flat arrays, and the page
// faults a load takes.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <new>
#include <optional>
#include <string>

#include "scene/loader.h"
#include "scene/scene_builder.h"

// Every heap byte the program holds, counted by usable size so that the
// allocator's rounding shows.
namespace {
std::atomic<std::int64_t> gLiveHeapBytes{0};

void* countedAllocation(std::size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (!p) throw std::bad_alloc();
  gLiveHeapBytes += static_cast<std::int64_t>(malloc_usable_size(p));
  return p;
}
void countedRelease(void* p) noexcept {
  if (!p) return;
  gLiveHeapBytes -= static_cast<std::int64_t>(malloc_usable_size(p));
  std::free(p);
}

// Aligned blocks (the model's large-page lists) count the bytes asked for:
// the rest of the block, up to the next alignment, is address space that is
// never written and so never resident. The size is kept in front of the block.
void* countedAlignedAllocation(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t header = std::max(align, sizeof(std::size_t));
  const std::size_t total = (header + size + align - 1) / align * align;
  auto* base = static_cast<char*>(std::aligned_alloc(align, total));
  if (!base) throw std::bad_alloc();
  std::memcpy(base + header - sizeof(std::size_t), &size, sizeof size);
  gLiveHeapBytes += static_cast<std::int64_t>(size);
  return base + header;
}
void countedAlignedRelease(void* p, std::align_val_t alignment) noexcept {
  if (!p) return;
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t header = std::max(align, sizeof(std::size_t));
  std::size_t size = 0;
  std::memcpy(&size, static_cast<char*>(p) - sizeof(std::size_t), sizeof size);
  gLiveHeapBytes -= static_cast<std::int64_t>(size);
  std::free(static_cast<char*>(p) - header);
}
}  // namespace

void* operator new(std::size_t size) { return countedAllocation(size); }
void* operator new[](std::size_t size) { return countedAllocation(size); }
void operator delete(void* p) noexcept { countedRelease(p); }
void operator delete[](void* p) noexcept { countedRelease(p); }
void operator delete(void* p, std::size_t) noexcept { countedRelease(p); }
void operator delete[](void* p, std::size_t) noexcept { countedRelease(p); }
void* operator new(std::size_t size, std::align_val_t a) {
  return countedAlignedAllocation(size, a);
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return countedAlignedAllocation(size, a);
}
void operator delete(void* p, std::align_val_t a) noexcept { countedAlignedRelease(p, a); }
void operator delete[](void* p, std::align_val_t a) noexcept { countedAlignedRelease(p, a); }
void operator delete(void* p, std::size_t, std::align_val_t a) noexcept {
  countedAlignedRelease(p, a);
}
void operator delete[](void* p, std::size_t, std::align_val_t a) noexcept {
  countedAlignedRelease(p, a);
}

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

// A program loads its scene once, into memory it has never touched: each
// page of the model costs a fault. Freed memory goes back to the system
// between loads so that every load pays that as the real one does, rather
// than refilling pages the previous load left behind. BM_ParseLines/1 keeps
// every freed page in the allocator instead (large blocks too, which it
// would otherwise map and unmap per load), for the parse's own work alone.
void releaseFreedMemory() { malloc_trim(0); }
void keepFreedMemory(bool keep) {
  mallopt(M_MMAP_THRESHOLD, keep ? 32 << 20 : 128 << 10);
  mallopt(M_TRIM_THRESHOLD, keep ? 1 << 30 : 128 << 10);
}

long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_minflt;
}

double threadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Bytes per CPU second of a memchr walk from line end to line end.
double lineScanRate(const std::string& text) {
  std::size_t lines = 0, bytes = 0;
  const double start = threadSeconds();
  double elapsed = 0.0;
  while (elapsed < 0.5) {
    const char* at = text.data();
    const char* const end = at + text.size();
    while (const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at))) {
      at = static_cast<const char*>(found) + 1;
      ++lines;
    }
    benchmark::DoNotOptimize(lines);
    bytes += text.size();
    elapsed = threadSeconds() - start;
  }
  return static_cast<double>(bytes) / elapsed;
}

std::size_t curveBytes(const AnimCurve& curve) {
  return curve.keyCount() * 3 * sizeof(double) + curve.frames.size() * sizeof(double);
}
std::size_t curveBytes(const std::optional<AnimCurve>& curve) {
  return curve ? curveBytes(*curve) : 0;
}

// The scene's data in flat arrays of the model's own number types, with
// nothing per record: x, y, z per vertex and normal; u, v per texture
// coordinate; the three indices per face corner and one start per face;
// joint and weight per influence and one start per vertex; three numbers per
// curve key and one per baked frame; one value per pixel.
std::size_t flatBytes(const Scene& scene) {
  std::size_t bytes = 0;
  auto nodeCurves = [&](const SceneNode& node) {
    for (const auto& curve : node.curves) bytes += curveBytes(curve);
  };
  for (const Mesh& mesh : scene.meshes) {
    nodeCurves(mesh);
    bytes += (mesh.vertices.size() + mesh.normals.size()) * 3 * sizeof(double);
    bytes += mesh.texcoords.size() * 2 * sizeof(double);
    bytes += mesh.colors.size() * 4 * sizeof(double);
    bytes += mesh.cornerCount() * 3 * sizeof(int) + mesh.faceCount() * sizeof(std::uint32_t);
    std::size_t influences = 0;
    for (std::size_t v = 0; v < mesh.vertices.size(); ++v) influences += mesh.influences(v).size();
    if (influences > 0) {
      bytes += influences * (sizeof(int) + sizeof(double)) +
               mesh.vertices.size() * sizeof(std::uint32_t);
    }
    for (const auto* curve : {&mesh.visibility, &mesh.alphaGain, &mesh.alphaOffset, &mesh.colorR,
                              &mesh.colorG, &mesh.colorB, &mesh.diffuse}) {
      bytes += curveBytes(*curve);
    }
    for (const AnimCurve& weight : mesh.blendWeights) bytes += curveBytes(weight);
  }
  for (const Joint& joint : scene.joints) nodeCurves(joint);
  for (const TextureImage& image : scene.textureImages) bytes += image.pixels.size() * 4;
  return bytes;
}

void BM_ParseLines(benchmark::State& state) {
  const std::string& text = sceneText();
  if (state.range(0) == 1) keepFreedMemory(true);
  LoadHooks hooks;
  double parseSeconds = 0.0;
  long faults = 0;
  std::int64_t modelBytes = 0;
  std::size_t flat = 0;
  for (auto _ : state) {
    const std::int64_t heapBefore = gLiveHeapBytes;
    const long faultsBefore = minorFaults();
    const double start = threadSeconds();
    auto scene = std::make_unique<Scene>();
    LoadStatus status;
    {
      SceneBuilder builder(*scene, hooks, status);
      builder.readLines(text, SceneVariant::Plain);
      benchmark::DoNotOptimize(scene->meshes.data());
    }
    parseSeconds += threadSeconds() - start;
    faults += minorFaults() - faultsBefore;
    state.PauseTiming();
    modelBytes = gLiveHeapBytes - heapBefore;
    flat = flatBytes(*scene);
    scene.reset();
    if (state.range(0) == 0) releaseFreedMemory();
    state.ResumeTiming();
  }
  if (state.range(0) == 1) keepFreedMemory(false);
  releaseFreedMemory();
  const double parseRate =
      static_cast<double>(text.size()) * static_cast<double>(state.iterations()) / parseSeconds;
  const double scanRate = lineScanRate(text);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(text.size()));
  state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
  state.counters["parse_MBps"] = parseRate / 1e6;
  state.counters["scan_MBps"] = scanRate / 1e6;
  state.counters["parse_per_scan"] = parseRate / scanRate;
  state.counters["faults_per_load"] =
      static_cast<double>(faults) / static_cast<double>(state.iterations());
  state.counters["model_MB"] = static_cast<double>(modelBytes) / 1e6;
  state.counters["flat_MB"] = static_cast<double>(flat) / 1e6;
  state.counters["model_per_flat"] = static_cast<double>(modelBytes) / static_cast<double>(flat);
}
BENCHMARK(BM_ParseLines)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(2.0);

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
    releaseFreedMemory();
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
    releaseFreedMemory();
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
