// Reading a scene file (plain, or scrambled line by line) into a Scene, then
// the finishing steps: baking, pose preparation, sounds, companion messages,
// the default camera and the start-up action.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scene/model.h"

namespace vashel {

// Thrown out of loadScene; code 1: the scene file cannot be opened.
struct MYERRORCODE {
  int code = 0;
};

enum class SceneVariant { Plain, J, K };

// The variant chosen by the third character after the file name's last dot.
SceneVariant sceneVariant(std::string_view fileName);
const char* variantName(SceneVariant variant);  // "plain", "j", "k"

// Scrambling of one line (terminator excluded), in place. Descrambling is the
// inverse; scrambling then descrambling returns the line unchanged.
void scrambleLine(std::span<char> line);
void descrambleLine(std::span<char> line);

// A problem with the content, tied to its line (1-based).
struct Diagnostic {
  int line = 0;
  std::string text;
};

// Written by the loader while it runs on one thread and polled by the
// progress dialog on another.
struct LoadStatus {
  std::atomic<int> loadProgress{0};  // percent 0..100
  std::atomic<int> loadState{0};     // -1 once loading has ended, with or without success
};

// The rest of the application, as the loader calls out to it. Every call has
// a harmless default so that tools and tests override only what they watch.
class LoadHooks {
 public:
  virtual ~LoadHooks() = default;
  // "fullscreen:" with a non-zero value.
  virtual void setDisplayMode() {}
  // "reading... N lines" while reading, then the application title.
  virtual void setTitle(std::string_view /*title*/) {}
  // Loads the sound-list entries with a non-empty name and slot 0..99.
  virtual void loadAllSounds(const Scene& /*scene*/) {}
  // The companion-file error box (caption, text; code page 932 text).
  virtual void messageBox(std::string_view /*caption*/, std::string_view /*text*/) {}
  // The player is set to frame 1.0 with the scene's range; when startupSlot is
  // not negative, setNewAction(startupSlot, none, none) runs. Returns the
  // current frame afterwards (the one cached joint rotations are read at).
  virtual double startPlayback(Scene& /*scene*/, int /*startupSlot*/) { return 1.0; }
};

// The application title the loader restores at the end of loading.
inline constexpr std::string_view kApplicationTitle = "Vashel";

// Ceilings on what a few bytes of text can make the loader allocate; content
// past them is ignored with a diagnostic. Real characters stay far below.
struct LoadLimits {
  long long texturePixels = 1LL << 26;  // all embedded images together: 8192 × 8192
  long long bakedFrames = 1LL << 25;    // entries of all baked tables together: 256 MB
};

// The largest files the loader reads. Scene text costs about twenty times its
// size in memory once loaded; message files are a few lines of text.
inline constexpr std::uint64_t kMaxSceneFileBytes = 256ull << 20;
inline constexpr std::uint64_t kMaxMessageFileBytes = 16ull << 20;

struct LoadOptions {
  SceneVariant variant = SceneVariant::Plain;
  // The companion message files, in reading order; a missing one is skipped.
  std::vector<std::string> messageFiles;
  LoadLimits limits;
};

// Parses scene text (the whole file) into `scene`, which should be fresh, and
// runs every finishing step. Content problems never fail: they are ignored as
// the format says and reported in the returned list.
std::vector<Diagnostic> parseScene(std::span<const char> text, const LoadOptions& options,
                                   Scene& scene, LoadHooks& hooks, LoadStatus& status);

// MYERRORCODE codes beyond 1: the file cannot be read or is refused (2), or
// no line of it is scene text of its variant (3: an empty or binary file, a
// scene under a name of the other variant), which would otherwise load as an
// invisible character.
inline constexpr int kSceneUnreadable = 2;
inline constexpr int kNotASceneFile = 3;

// Reads the file named `fileName` and parses it as loadScene does, printing
// nothing. Throws MYERRORCODE 1, 2 or 3; for 2 and 3 `problem` receives the
// reason as a short phrase. With code 3 the finishing steps have not run.
std::vector<Diagnostic> parseSceneFile(const std::string& fileName, Scene& scene,
                                       LoadHooks& hooks, LoadStatus& status,
                                       std::string& problem);

// Reads the file named `fileName` and parses it. Throws MYERRORCODE{1} when the
// file cannot be opened, 2 or 3 as parseSceneFile says. Diagnostics and the
// reason of a failure go to standard error.
void loadScene(const std::string& fileName, Scene& scene, LoadHooks& hooks, LoadStatus& status);

// loadScene for the start-up sequence: 1 on success, 0 on failure (with one
// line on standard error and loadState -1).
int tryLoadScene(const std::string& fileName, Scene& scene, LoadHooks& hooks, LoadStatus& status);

// Reads one companion message file to its end (format: one message a line).
void readMessageFile(std::FILE* file, Scene& scene, LoadHooks& hooks);

}  // namespace vashel
