// The shared scene loading of glj info and glj dump.
#include "tools/glj/scene_file.h"

#include <cstdio>

#include "platform/codepage.h"
#include "scene/scene_builder.h"
#include "tools/glj/command.h"

namespace vashel::glj {
namespace {

// The tool has no windows: the loader's message box becomes a line.
class ToolHooks : public LoadHooks {
 public:
  void messageBox(std::string_view caption, std::string_view text) override {
    std::fprintf(stderr, "%.*s: %s\n", static_cast<int>(caption.size()), caption.data(),
                 convertToUtf8(kDataCodePage, text).c_str());
  }
};

}  // namespace

int loadSceneForTool(const std::string& fileName, Scene& scene) {
  std::vector<char> text;
  try {
    text = readSceneFile(fileName);
  } catch (const MYERRORCODE& error) {
    return fail((error.code == 1 ? "cannot open " : "cannot read ") + fileName);
  }
  ToolHooks hooks;
  LoadStatus status;
  LoadOptions options;
  options.variant = sceneVariant(fileName);
  options.messageFiles = {fileName + ".txt", "data/message.txt"};
  SceneBuilder builder(scene, hooks, status);
  builder.readLines(text, options.variant);
  if (builder.recognizedLines() == 0) {
    return fail(fileName + " is not a scene file (no line of it was understood as " +
                variantName(options.variant) + " scene text)");
  }
  builder.finish(options);
  for (const Diagnostic& diagnostic : builder.diagnostics()) {
    if (diagnostic.line > 0) {
      std::fprintf(stderr, "%s:%d: %s\n", fileName.c_str(), diagnostic.line,
                   convertToUtf8(kDataCodePage, diagnostic.text).c_str());
    } else {
      std::fprintf(stderr, "%s: %s\n", fileName.c_str(),
                   convertToUtf8(kDataCodePage, diagnostic.text).c_str());
    }
  }
  return 0;
}

}  // namespace vashel::glj
