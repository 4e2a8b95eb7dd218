// The shared scene loading of glj info and glj dump.
#include "tools/glj/scene_file.h"

#include <cstdio>

#include "platform/codepage.h"
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
  ToolHooks hooks;
  LoadStatus status;
  std::string problem;
  std::vector<Diagnostic> diagnostics;
  try {
    diagnostics = parseSceneFile(fileName, scene, hooks, status, problem);
  } catch (const MYERRORCODE& error) {
    if (error.code == 1) return fail("cannot open " + fileName);
    if (error.code == kNotASceneFile) return fail(fileName + ": " + problem);
    return fail("cannot read " + fileName + (problem.empty() ? "" : ": " + problem));
  }
  for (const Diagnostic& diagnostic : diagnostics) {
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
