// A LoadHooks that records what the loader asks of the rest of the program,
// a helper that parses scene text with it, and one that reads a test file.
#pragma once

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "scene/loader.h"

namespace vashel {

class RecordingHooks : public LoadHooks {
 public:
  void setDisplayMode() override { ++displayModeCalls; }
  void setTitle(std::string_view title) override { titles.emplace_back(title); }
  void loadAllSounds(const Scene& scene) override {
    ++soundLoads;
    soundsAtLoad.clear();
    for (const SoundEntry& entry : scene.sounds) soundsAtLoad.push_back(entry.fileName);
  }
  void messageBox(std::string_view caption, std::string_view text) override {
    boxes.push_back({std::string(caption), std::string(text)});
  }
  double startPlayback(Scene& scene, int startupSlot) override {
    startupSlots.push_back(startupSlot);
    camerasAtPlayback = scene.cameras.size();
    return frameAfterStart;
  }

  struct Box {
    std::string caption, text;
  };
  int displayModeCalls = 0;
  std::vector<std::string> titles;
  int soundLoads = 0;
  std::vector<std::string> soundsAtLoad;
  std::vector<Box> boxes;
  std::vector<int> startupSlots;
  std::size_t camerasAtPlayback = 0;
  double frameAfterStart = 1.0;
};

struct Parsed {
  std::unique_ptr<Scene> scene = std::make_unique<Scene>();
  RecordingHooks hooks;
  LoadStatus status;
  std::vector<Diagnostic> diagnostics;
};

inline std::unique_ptr<Parsed> parse(std::string_view text, LoadOptions options = {},
                                     double frameAfterStart = 1.0) {
  auto parsed = std::make_unique<Parsed>();
  parsed->hooks.frameAfterStart = frameAfterStart;
  parsed->diagnostics =
      parseScene(std::span<const char>(text.data(), text.size()), options, *parsed->scene,
                 parsed->hooks, parsed->status);
  return parsed;
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

}  // namespace vashel
