// parseScene in its two halves, reading the lines and the finishing steps,
// for callers that run or time them apart (the benchmark, glj).
#pragma once

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "scene/loader.h"

namespace vashel {

class SceneBuilder {
 public:
  SceneBuilder(Scene& scene, LoadHooks& hooks, LoadStatus& status, LoadLimits limits = {});
  ~SceneBuilder();
  SceneBuilder(const SceneBuilder&) = delete;
  SceneBuilder& operator=(const SceneBuilder&) = delete;

  // Walks every line of the text into the scene. Call once.
  void readLines(std::span<const char> text, SceneVariant variant);
  // The finishing steps: baking, normals paired with skinned vertices,
  // sounds, companion messages, the default camera, the start-up action,
  // cached rotations.
  void finish(const LoadOptions& options);

  // Lines that matched a key or a section keyword; none means the text is
  // not a scene (or was read as the wrong variant).
  long long recognizedLines() const;
  const std::vector<Diagnostic>& diagnostics() const;
  std::vector<Diagnostic> takeDiagnostics();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The whole file in one buffer. Throws MYERRORCODE 1 when it cannot be
// opened, 2 when it is refused or reading fails (not a regular file, larger
// than kMaxSceneFileBytes, an I/O error, no memory); `problem`, when given,
// then receives the reason as a short phrase.
std::vector<char> readSceneFile(const std::string& fileName, std::string* problem = nullptr);

// At most this many diagnostics are kept; one more entry then says how many
// were left out.
inline constexpr std::size_t kMaxDiagnostics = 1000;

}  // namespace vashel
