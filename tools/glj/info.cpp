// glj info FILE: a short human summary of what the loader reads from a scene.
#include <cstdio>
#include <memory>
#include <string>

#include "platform/codepage.h"
#include "tools/glj/command.h"
#include "tools/glj/scene_file.h"

namespace vashel::glj {
namespace {

int runInfo(const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].starts_with("-")) return fail("usage: glj info FILE");
  auto scene = std::make_unique<Scene>();
  if (const int code = loadSceneForTool(args[0], *scene)) return code;

  std::size_t vertices = 0, faces = 0;
  for (const Mesh& mesh : scene->meshes) {
    vertices += mesh.vertices.size();
    faces += mesh.faceCount();
  }
  std::size_t actions = 0, messages = 0;
  for (const Action& action : scene->actions) {
    if (action.id < 0) continue;
    ++actions;
    messages += action.messages.size();
  }
  const SceneSettings& settings = scene->settings;
  std::printf("file:          %s\n", args[0].c_str());
  std::printf("variant:       %s\n", variantName(sceneVariant(args[0])));
  std::printf("time:          %d .. %d\n", scene->sceneStartFrame, scene->sceneEndFrame);
  std::printf("meshes:        %zu (%zu vertices, %zu faces)\n", scene->meshes.size(), vertices,
              faces);
  std::printf("joints:        %zu\n", scene->joints.size());
  std::printf("cameras:       %zu (active: %s)\n", scene->cameras.size(),
              scene->activeCamera >= 0
                  ? convertToUtf8(kDataCodePage, scene->cameras[scene->activeCamera].name).c_str()
                  : "none");
  std::printf("lights:        %zu\n", scene->lights.size());
  std::printf("textures:      %zu images, %zu names\n", scene->textureImages.size(),
              scene->textureNames.size());
  std::printf("sounds:        %zu\n", scene->sounds.size());
  std::printf("actions:       %zu defined\n", actions);
  std::printf("messages:      %zu%s\n", messages,
              scene->defaultMessage.text.empty() ? "" : ", and a default message");
  if (settings.windowSize) {
    std::printf("window size:   %d x %d\n", (*settings.windowSize)[0], (*settings.windowSize)[1]);
  } else {
    std::printf("window size:   not set\n");
  }
  std::printf("feed URL:      %s\n",
              settings.feedUrl ? convertToUtf8(kDataCodePage, *settings.feedUrl).c_str() : "none");
  return 0;
}

const GljCommand command("info", "FILE", runInfo);

}  // namespace
}  // namespace vashel::glj
