// glj render FILE ... --out OUT.png: one frame of a scene drawn off-screen,
// exactly as the program draws it, written as a PNG with its alpha channel.
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "platform/codepage.h"
#include "render/offscreen.h"
#include "tools/glj/command.h"
#include "tools/glj/scene_file.h"

namespace vashel::glj {
namespace {

constexpr const char* kUsage =
    "FILE [--frame N] [--size WxH] [--yaw DEG] [--pitch DEG] [--joints] [--guide] "
    "[--pick X,Y] --out OUT.png";

struct RenderOptions {
  std::string file;
  std::string out;
  double frame = 1.0;
  std::optional<std::array<int, 2>> size;
  double yaw = 0.0;
  double pitch = 0.0;
  bool joints = false;
  bool guide = false;
  std::optional<ClientPoint> pick;
};

bool parseNumber(const std::string& text, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end && *end == '\0' && errno == 0 && std::isfinite(value);
}

bool parseInt(const std::string& text, int& value) {
  char* end = nullptr;
  errno = 0;
  const long parsed = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || !end || *end != '\0' || errno != 0 || parsed < -1000000 || parsed > 1000000) {
    return false;
  }
  value = static_cast<int>(parsed);
  return true;
}

// "A<sep>B" into two ints.
bool parsePair(const std::string& text, char separator, int& a, int& b) {
  const std::size_t at = text.find(separator);
  return at != std::string::npos && parseInt(text.substr(0, at), a) &&
         parseInt(text.substr(at + 1), b);
}

// Fills options from the arguments, or returns the one-line complaint.
std::string parseArguments(const std::vector<std::string>& args, RenderOptions& options) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= args.size()) return false;
      out = args[++i];
      return true;
    };
    std::string text;
    if (arg == "--joints") {
      options.joints = true;
    } else if (arg == "--guide") {
      options.guide = true;
    } else if (arg == "--frame") {
      if (!value(text) || !parseNumber(text, options.frame) || std::fabs(options.frame) > 1.0e6) {
        return "--frame needs a number of at most a million";
      }
    } else if (arg == "--yaw") {
      if (!value(text) || !parseNumber(text, options.yaw)) return "--yaw needs a number of degrees";
    } else if (arg == "--pitch") {
      if (!value(text) || !parseNumber(text, options.pitch)) {
        return "--pitch needs a number of degrees";
      }
    } else if (arg == "--size") {
      int w = 0, h = 0;
      if (!value(text) || !parsePair(text, 'x', w, h) || w <= 0 || h <= 0 || w > 4096 || h > 4096) {
        return "--size needs WxH, each 1..4096";
      }
      options.size = std::array<int, 2>{w, h};
    } else if (arg == "--pick") {
      int x = 0, y = 0;
      if (!value(text) || !parsePair(text, ',', x, y)) return "--pick needs X,Y";
      options.pick = ClientPoint{x, y};
    } else if (arg == "--out") {
      if (!value(options.out) || options.out.empty()) return "--out needs a file name";
    } else if (arg.starts_with("--")) {
      return "unknown option " + arg;
    } else if (options.file.empty()) {
      options.file = arg;
    } else {
      return "more than one scene file given";
    }
  }
  if (options.file.empty()) return std::string("usage: glj render ") + kUsage;
  if (options.out.empty()) return "--out OUT.png is required";
  return {};
}

// Writes each presented frame to the output file.
class PngPresenter final : public FramePresenter {
 public:
  explicit PngPresenter(std::string path) : path_(std::move(path)) {}
  void present(const FrameView& frame) override {
    error_ = writePng(path_, frame);
    written_ = error_.empty();
  }
  bool written() const { return written_; }
  const std::string& error() const { return error_; }

 private:
  std::string path_;
  std::string error_ = "no frame was presented";
  bool written_ = false;
};

int runRender(const std::vector<std::string>& args) {
  RenderOptions options;
  if (const std::string problem = parseArguments(args, options); !problem.empty()) {
    return fail(problem);
  }

  // The scene loads from its own folder, as the program runs there, so that
  // textures and companion files resolve; the output stays where it was named.
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path out = fs::absolute(options.out, error);
  if (error) return fail("cannot resolve " + options.out);
  const fs::path scenePath(options.file);
  if (scenePath.has_parent_path() && ::chdir(scenePath.parent_path().c_str()) != 0) {
    return fail("cannot enter " + scenePath.parent_path().string() + ": " + std::strerror(errno));
  }

  auto scene = std::make_unique<Scene>();
  if (const int code = loadSceneForTool(scenePath.filename().string(), *scene)) return code;

  std::array<int, 2> size{240, 320};
  if (options.size) {
    size = *options.size;
  } else if (scene->settings.windowSize) {
    size = *scene->settings.windowSize;
    if (size[0] <= 0 || size[1] <= 0 || size[0] > 4096 || size[1] > 4096) {
      return fail("the scene's window size " + std::to_string(size[0]) + "x" +
                  std::to_string(size[1]) + " cannot be rendered; give --size");
    }
  }

  auto renderer = std::make_unique<OffscreenRenderer>();
  if (!renderer->open(size[0], size[1])) {
    return fail("cannot create an OpenGL context: " + renderer->error());
  }
  renderer->showScene(*scene);
  RenderState& state = renderer->state;
  state.view.yaw = options.yaw;
  state.view.pitch = options.pitch;
  state.flags.joint = options.joints ? 1 : 0;
  state.flags.guide = options.guide ? 1 : 0;

  // Frame-walk: the pose follows the frame's curves and no clock moves it.
  renderer->player.clock.currentFrame = options.frame;
  if (options.pick) {
    // A selection pick: it names the mesh without starting anything that
    // would change the frame drawn.
    renderer->clickAt(*options.pick, kPickToSelect);
  }
  PngPresenter presenter(out.string());
  renderer->services.presenter = &presenter;
  renderer->drawFrame(*scene);

  if (options.pick) {
    const int index = state.lastPickIndex;
    if (index >= 0) {
      std::printf("%d %s\n", index,
                  convertToUtf8(kDataCodePage, scene->meshes[index].name).c_str());
    } else {
      std::printf("-1\n");
    }
  }
  if (!presenter.written()) return fail(presenter.error());
  return 0;
}

const GljCommand command("render", kUsage, runRender);

}  // namespace
}  // namespace vashel::glj
