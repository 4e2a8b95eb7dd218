// glj dump [--full] [--frames F1,F2,...] FILE: everything the loader read, as
// one JSON object in UTF-8, with curves evaluated at chosen frames.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tools/glj/command.h"
#include "tools/glj/scene_file.h"

namespace vashel::glj {
namespace {

// A compact JSON writer; commas are placed by tracking whether the current
// container has a member yet.
class JsonWriter {
 public:
  std::string& text() { return out_; }

  void beginObject() { open('{'); }
  void endObject() { close('}'); }
  void beginArray() { open('['); }
  void endArray() { close(']'); }

  void key(std::string_view name) {
    separate();
    quote(name);
    out_ += ':';
    afterKey_ = true;
  }
  void number(double value) {
    separate();
    if (!std::isfinite(value)) {
      out_ += "null";  // JSON has no infinities
      return;
    }
    char buffer[32];
    out_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
  }
  void number(float value) {
    separate();
    if (!std::isfinite(value)) {
      out_ += "null";
      return;
    }
    char buffer[32];
    out_.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
  }
  void integer(long long value) {
    separate();
    out_ += std::to_string(value);
  }
  void null() {
    separate();
    out_ += "null";
  }
  // Texts from the scene are code page 932.
  void text(std::string_view bytes) {
    separate();
    quote(convertToUtf8(kDataCodePage, bytes));
  }

  template <typename Range>
  void numbers(const Range& values) {
    beginArray();
    for (const auto& value : values) number(value);
    endArray();
  }

 private:
  void open(char bracket) {
    separate();
    out_ += bracket;
    first_.push_back(true);
  }
  void close(char bracket) {
    out_ += bracket;
    first_.pop_back();
  }
  void separate() {
    if (afterKey_) {
      afterKey_ = false;
      return;
    }
    if (!first_.empty()) {
      if (!first_.back()) out_ += ',';
      first_.back() = false;
    }
  }
  void quote(std::string_view utf8) {
    out_ += '"';
    for (const char c : utf8) {
      switch (c) {
        case '"': out_ += "\\\""; break;
        case '\\': out_ += "\\\\"; break;
        case '\n': out_ += "\\n"; break;
        case '\r': out_ += "\\r"; break;
        case '\t': out_ += "\\t"; break;
        default:
          if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            out_ += escape;
          } else {
            out_ += c;
          }
      }
    }
    out_ += '"';
  }

  std::string out_;
  std::vector<bool> first_;
  bool afterKey_ = false;
};

struct DumpOptions {
  bool full = false;
  std::vector<int> frames;
  bool framesGiven = false;
  std::string file;
};

bool parseFrames(std::string_view list, std::vector<int>& frames) {
  while (true) {
    const std::size_t comma = list.find(',');
    const std::string_view item = list.substr(0, comma);
    int frame = 0;
    const auto [ptr, ec] = std::from_chars(item.data(), item.data() + item.size(), frame);
    if (item.empty() || ec != std::errc() || ptr != item.data() + item.size()) return false;
    bool seen = false;
    for (const int f : frames) seen = seen || f == frame;
    if (!seen) frames.push_back(frame);
    if (comma == std::string_view::npos) return true;
    list.remove_prefix(comma + 1);
  }
}

void writeCurve(JsonWriter& json, std::string_view name, const AnimCurve& curve,
                const std::vector<int>& frames) {
  json.key(name);
  json.beginObject();
  json.key("keys");
  json.integer(static_cast<long long>(curve.keyCount()));
  json.key("at");
  json.beginObject();
  for (const int frame : frames) {
    json.key(std::to_string(frame));
    json.number(evaluateCurve(curve, frame));
  }
  json.endObject();
  json.endObject();
}

void writeNodeCurves(JsonWriter& json, const SceneNode& node, const std::vector<int>& frames) {
  static constexpr std::string_view kNames[kNodeCurveCount] = {
      "translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ"};
  for (int slot = 0; slot < kNodeCurveCount; ++slot) {
    if (node.curves[slot]) writeCurve(json, kNames[slot], *node.curves[slot], frames);
  }
}

// Entries [i, [[joint, weight]...]] for every i with influences.
template <typename InfluencesOf>
void writeInfluences(JsonWriter& json, std::string_view name, std::size_t count,
                     InfluencesOf influencesOf) {
  json.key(name);
  json.beginArray();
  for (std::size_t i = 0; i < count; ++i) {
    const std::span<const SkinInfluence> influences = influencesOf(i);
    if (influences.empty()) continue;
    json.beginArray();
    json.integer(static_cast<long long>(i));
    json.beginArray();
    for (const SkinInfluence& influence : influences) {
      json.beginArray();
      json.integer(influence.joint);
      json.number(influence.weight);
      json.endArray();
    }
    json.endArray();
    json.endArray();
  }
  json.endArray();
}

void writePositions(JsonWriter& json, std::string_view name, std::span<const MeshVertex> list) {
  json.key(name);
  json.beginArray();
  for (const MeshVertex& vertex : list) json.numbers(vertex.base);
  json.endArray();
}

void writeMesh(JsonWriter& json, const Mesh& mesh, const DumpOptions& options) {
  json.beginObject();
  json.key("name");
  json.text(mesh.name);
  json.key("parent");
  json.integer(mesh.parent);
  json.key("vertices");
  json.integer(static_cast<long long>(mesh.vertices.size()));
  json.key("normals");
  json.integer(static_cast<long long>(mesh.normals.size()));
  json.key("texcoords");
  json.integer(static_cast<long long>(mesh.texcoords.size()));
  json.key("faces");
  json.integer(static_cast<long long>(mesh.faceCount()));
  json.key("colors");
  json.integer(static_cast<long long>(mesh.colors.size()));
  json.key("displayMode");
  json.integer(mesh.displayMode);
  json.key("unpickable");
  json.integer(mesh.unpickable);
  json.key("picking");
  json.text(mesh.picking);
  json.key("texture");
  json.integer(mesh.texture);
  json.key("texFilter");
  json.integer(mesh.texFilter);
  json.key("edgeLevel");
  json.number(mesh.edgeLevel);
  json.key("doubleSided");
  json.integer(mesh.doubleSided);
  json.key("color");
  json.numbers(mesh.color);
  json.key("ambientColor");
  json.numbers(mesh.ambientColor);
  json.key("incandescence");
  json.numbers(mesh.incandescence);
  json.key("specularColor");
  json.numbers(mesh.specularColor);
  json.key("cosinePower");
  json.number(mesh.cosinePower);
  json.key("blendTargets");
  json.beginArray();
  for (const int target : mesh.blendTargets) json.integer(target);
  json.endArray();

  json.key("curves");
  json.beginObject();
  writeNodeCurves(json, mesh, options.frames);
  const std::pair<std::string_view, const std::optional<AnimCurve>*> named[] = {
      {"visibility", &mesh.visibility}, {"alphaGain", &mesh.alphaGain},
      {"alphaOffset", &mesh.alphaOffset}, {"colorR", &mesh.colorR},
      {"colorG", &mesh.colorG},           {"colorB", &mesh.colorB},
      {"diffuse", &mesh.diffuse}};
  for (const auto& [name, curve] : named) {
    if (*curve) writeCurve(json, name, **curve, options.frames);
  }
  for (std::size_t i = 0; i < mesh.blendWeights.size(); ++i) {
    writeCurve(json, "weight" + std::to_string(i), mesh.blendWeights[i], options.frames);
  }
  json.endObject();

  if (options.full) {
    writePositions(json, "vertexList", mesh.vertices);
    writePositions(json, "normalList", mesh.normals);
    json.key("faceList");
    json.beginArray();
    for (std::size_t f = 0; f < mesh.faceCount(); ++f) {
      const FaceView face = mesh.face(f);
      json.beginArray();
      for (std::size_t c = 0; c < face.vertex.size(); ++c) {
        json.beginArray();
        json.integer(face.vertex[c]);
        json.integer(face.texcoord[c]);
        json.integer(face.normal[c]);
        json.endArray();
      }
      json.endArray();
    }
    json.endArray();
    writeInfluences(json, "influences", mesh.vertices.size(),
                    [&](std::size_t v) { return mesh.influences(v); });
    writeInfluences(json, "normalInfluences", mesh.normals.size(),
                    [&](std::size_t n) { return mesh.normalInfluences(n); });
  }
  json.endObject();
}

template <typename Array>
void optionalInts(JsonWriter& json, std::string_view name, const std::optional<Array>& values) {
  json.key(name);
  if (!values) {
    json.null();
    return;
  }
  json.beginArray();
  for (const int value : *values) json.integer(value);
  json.endArray();
}

std::string dumpScene(const Scene& scene, SceneVariant variant, const DumpOptions& options) {
  JsonWriter json;
  json.beginObject();
  json.key("variant");
  json.text(variantName(variant));
  json.key("time");
  json.beginArray();
  json.integer(scene.sceneStartFrame);
  json.integer(scene.sceneEndFrame);
  json.endArray();
  const SceneSettings& settings = scene.settings;
  optionalInts(json, "windowSize", settings.windowSize);
  optionalInts(json, "startupMode", settings.startupMode);
  optionalInts(json, "randomAction", settings.randomAction);
  optionalInts(json, "randomMessage", settings.randomMessage);
  json.key("rss");
  settings.feedUrl ? json.text(*settings.feedUrl) : json.null();
  json.key("fullscreen");
  json.integer(settings.fullscreen);
  json.key("boundingBox");
  json.beginObject();
  json.key("min");
  json.numbers(scene.boundsMin);
  json.key("max");
  json.numbers(scene.boundsMax);
  json.endObject();
  json.key("center");
  json.numbers(scene.center);
  json.key("activeCamera");
  json.integer(scene.activeCamera);
  json.key("vertexTotal");
  json.integer(scene.vertexTotal);

  json.key("meshes");
  json.beginArray();
  for (const Mesh& mesh : scene.meshes) writeMesh(json, mesh, options);
  json.endArray();

  json.key("joints");
  json.beginArray();
  for (const Joint& joint : scene.joints) {
    json.beginObject();
    json.key("name");
    json.text(joint.name);
    json.key("parent");
    json.integer(joint.parent);
    json.key("translation");
    json.numbers(std::span(joint.translation).first<3>());
    json.key("jointOrientation");
    json.numbers(std::span(joint.jointOrientation).first<3>());
    json.key("limits");
    json.numbers(joint.limits);
    json.key("cachedRotation");
    json.numbers(joint.cachedRotation);
    json.key("curves");
    json.beginObject();
    writeNodeCurves(json, joint, options.frames);
    json.endObject();
    json.endObject();
  }
  json.endArray();

  json.key("cameras");
  json.beginArray();
  for (const Camera& camera : scene.cameras) {
    json.beginObject();
    json.key("name");
    json.text(camera.name);
    json.key("vfov");
    json.number(camera.vfov);
    json.key("curves");
    json.beginObject();
    writeNodeCurves(json, camera, options.frames);
    json.endObject();
    json.endObject();
  }
  json.endArray();

  json.key("lights");
  json.beginArray();
  for (const Light& light : scene.lights) {
    json.beginObject();
    json.key("name");
    json.text(light.name);
    json.key("type");
    json.integer(light.type);
    json.key("color");
    json.numbers(light.color);
    json.key("intensity");
    json.number(light.intensity);
    json.key("curves");
    json.beginObject();
    writeNodeCurves(json, light, options.frames);
    json.endObject();
    json.endObject();
  }
  json.endArray();

  json.key("textureImages");
  json.beginArray();
  for (const TextureImage& image : scene.textureImages) {
    json.beginObject();
    json.key("name");
    json.text(image.name);
    json.key("width");
    json.integer(image.width);
    json.key("height");
    json.integer(image.height);
    json.key("pixels");
    json.integer(static_cast<long long>(image.pixels.size()));
    json.key("firstPixel");
    image.pixels.empty() ? json.null() : json.integer(image.pixels[0]);
    json.endObject();
  }
  json.endArray();

  json.key("textureNames");
  json.beginArray();
  for (const std::string& name : scene.textureNames) json.text(name);
  json.endArray();

  json.key("sounds");
  json.beginArray();
  for (const SoundEntry& sound : scene.sounds) {
    json.beginObject();
    json.key("file");
    json.text(sound.fileName);
    json.key("slot");
    json.integer(sound.slot);
    json.endObject();
  }
  json.endArray();

  json.key("actions");
  json.beginArray();
  for (const Action& action : scene.actions) {
    if (action.id < 0) continue;
    json.beginObject();
    json.key("slot");
    json.integer(action.id);
    json.key("name");
    json.text(action.name);
    json.key("start");
    json.integer(action.startFrame);
    json.key("end");
    json.integer(action.endFrame);
    json.key("flag");
    json.integer(action.flag ? 1 : 0);
    json.key("camera");
    json.text(action.cameraName);
    json.key("soundFile");
    json.text(action.soundFile);
    json.key("soundSlot");
    json.integer(action.soundSlot);
    json.key("messages");
    json.beginArray();
    for (const MessageEntry& message : action.messages) {
      json.beginObject();
      json.key("seconds");
      json.integer(message.duration);
      json.key("hour");
      json.integer(message.hour);
      json.key("text");
      json.text(message.text);
      json.endObject();
    }
    json.endArray();
    json.endObject();
  }
  json.endArray();

  json.key("defaultMessage");
  if (scene.defaultMessage.text.empty()) {
    json.null();
  } else {
    json.beginObject();
    json.key("text");
    json.text(scene.defaultMessage.text);
    json.key("seconds");
    json.integer(scene.defaultMessage.seconds);
    json.endObject();
  }
  json.endObject();
  json.text() += '\n';
  return std::move(json.text());
}

int runDump(const std::vector<std::string>& args) {
  DumpOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--full") {
      options.full = true;
    } else if (arg == "--frames" || arg.starts_with("--frames=")) {
      std::string list;
      if (arg == "--frames") {
        if (i + 1 == args.size()) return fail("--frames needs a list such as 0,1,30");
        list = args[++i];
      } else {
        list = arg.substr(9);
      }
      if (!parseFrames(list, options.frames)) return fail("bad frame list '" + list + "'");
      options.framesGiven = true;
    } else if (arg.starts_with("-") && arg.size() > 1) {
      return fail("unknown option " + arg);
    } else if (options.file.empty()) {
      options.file = arg;
    } else {
      return fail("usage: glj dump [--full] [--frames F1,F2,...] FILE");
    }
  }
  if (options.file.empty()) return fail("usage: glj dump [--full] [--frames F1,F2,...] FILE");

  auto scene = std::make_unique<Scene>();
  if (const int code = loadSceneForTool(options.file, *scene)) return code;
  if (!options.framesGiven) {
    options.frames = {0, 1};
    if (scene->sceneEndFrame != 0 && scene->sceneEndFrame != 1) {
      options.frames.push_back(scene->sceneEndFrame);
    }
  }
  const std::string text = dumpScene(*scene, sceneVariant(options.file), options);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

const GljCommand command("dump", "[--full] [--frames F1,F2,...] FILE", runDump);

}  // namespace
}  // namespace vashel::glj
