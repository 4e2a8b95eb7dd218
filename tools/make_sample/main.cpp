// make_sample: builds the bundled sample character and writes the whole
// bundle (scene, messages, textures, sounds, a test feed) into a folder.
//   make_sample OUTPUT_FOLDER [--plain FILE]
// --plain also writes the scene unscrambled, for reading.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tools/make_sample/character.h"
#include "tools/make_sample/images.h"
#include "tools/make_sample/motion.h"
#include "tools/make_sample/scene_writer.h"
#include "tools/make_sample/sounds.h"
#include "tools/make_sample/texts.h"

namespace vashel::sample {
namespace {

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Converts to code page 932 and refuses what the readers would garble: a
// character without a 932 form, or a double-byte character whose second
// byte is a backslash (it would pair with a following n or 0).
std::string toShiftJis(const std::string& utf8) {
  const std::string out = convertUtf8ToShiftJis(utf8);
  size_t questions = 0;
  for (char c : utf8) questions += c == '?';
  for (char c : out) questions -= c == '?';
  if (questions != 0) throw std::runtime_error("a message has a character code page 932 lacks");
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(out[i]);
    if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      if (i + 1 < out.size() && out[i + 1] == '\\') {
        throw std::runtime_error("a message has a character whose second byte is a backslash");
      }
      ++i;
    }
  }
  return out;
}

SampleScene assemble() {
  SampleScene scene;
  scene.joints = buildSkeleton();
  Motion motion = buildMotion(scene.joints);
  for (size_t j = 0; j < scene.joints.size(); ++j) scene.joints[j].curves = motion.joints[j];
  scene.startFrame = motion.startFrame;
  scene.endFrame = motion.endFrame;
  scene.windowWidth = 240;
  scene.windowHeight = 320;
  scene.playState = 1;
  scene.topMost = 1;
  // Five random actions; 8 + 2..4 idle loops (3 s each) between them. The
  // idle list of message.xml plays these motions as sequences in between.
  scene.randomAction = {5, 8, 2};
  // No pause between chances to speak: the player says one of the idle
  // action's messages at about one idle loop in twelve, which is then often
  // enough for the hour's word and the clock to come up within minutes.
  scene.randomMessage = {0, 0};
  scene.textures.push_back(embed(paintDress(128, 64), kBodyTexture));
  scene.meshes = buildMeshes();
  scene.blends.push_back({"blink", kBlinkBase, kBlinkTarget, motion.blink});
  scene.blends.push_back({"mouthOpen", kMouthBase, kMouthTarget, motion.mouthOpen});
  scene.cameras = buildCameras();
  scene.lights = buildLights();
  scene.actions = motion.actions;
  return scene;
}

int run(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::string(argv[2]) == "--plain")) {
    std::fprintf(stderr, "usage: make_sample OUTPUT_FOLDER [--plain FILE]\n");
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::filesystem::create_directories(folder);
  const SampleScene scene = assemble();
  const std::string text = sceneText(scene);
  writeFile(folder / "data.glj", scrambleText(text));
  if (argc == 4) writeFile(argv[3], text);
  writeFile(folder / "data.glj.txt", toShiftJis(companionMessages()));
  toShiftJis(messageXml());  // the reader converts it; make sure it can
  writeFile(folder / "message.xml", messageXml());
  toShiftJis(feedXml());
  writeFile(folder / "feed.xml", feedXml());
  writeFile(folder / kFaceTexture, encodeTga(paintFace(256)));
  for (const SoundFile& sound : buildSounds()) writeFile(folder / sound.name, sound.bytes);
  int vertices = 0;
  for (const MeshSpec& m : scene.meshes) vertices += m.data.vertexCount();
  std::printf("sample written to %s: %zu joints, %zu meshes, %d vertices, frames %d..%d\n", folder.string().c_str(),
              scene.joints.size(), scene.meshes.size(), vertices, scene.startFrame, scene.endFrame);
  return 0;
}

}  // namespace
}  // namespace vashel::sample

int main(int argc, char** argv) {
  try {
    return vashel::sample::run(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_sample: %s\n", e.what());
    return 1;
  }
}
