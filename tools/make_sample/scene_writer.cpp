// Writing the sample scene as scene-file text.
#include "tools/make_sample/scene_writer.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <stdexcept>
#include <utility>

namespace vashel::sample {
namespace {

// The file keeps angles in radians.
constexpr double kDegreesPerRadian = 57.29577951308232;

const char* const kCurveKeys[6] = {"translateX:", "translateY:", "translateZ:", "rotateX:", "rotateY:", "rotateZ:"};

class Writer {
 public:
  void line(const std::string& text) {
    for (unsigned char c : text) {
      if (c < 0x20 || c > 0x7E) throw std::logic_error("scene text must be printable ASCII: " + text);
    }
    out_ += text;
    out_ += '\n';
  }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

std::string num(double v) { return formatNumber(v, 4); }

std::string triple(double a, double b, double c) { return num(a) + " " + num(b) + " " + num(c); }

// key n, n pairs (time, value), then n groups (p, q, tangent, s).
std::string curveLine(const char* key, const Curve& curve, bool angle) {
  if (curve.keys.empty()) throw std::logic_error(std::string("empty curve ") + key);
  std::string s = std::string(" ") + key + " " + std::to_string(curve.keys.size());
  double last = -1e300;
  for (const Key& k : curve.keys) {
    if (k.time <= last || k.time != std::floor(k.time)) throw std::logic_error(std::string("bad key times in ") + key);
    if (!(k.tangent > -90.0 && k.tangent < 90.0)) throw std::logic_error(std::string("bad tangent in ") + key);
    last = k.time;
    // Appended piece by piece: GCC 12 at -O3 takes `" " + num(...)` for an
    // overlapping copy (-Werror=restrict, a false positive).
    s += ' ';
    s += num(k.time);
    s += ' ';
    s += angle ? formatNumber(k.value / kDegreesPerRadian, 7) : num(k.value);
  }
  for (const Key& k : curve.keys) s.append(" 0 0 ").append(num(k.tangent)).append(" 0");
  return s;
}

void nodeCurves(Writer& w, const NodeCurves& curves) {
  for (int slot = 0; slot < 6; ++slot) {
    if (!curves[slot].keys.empty()) w.line(curveLine(kCurveKeys[slot], curves[slot], slot >= 3));
  }
}

void writeTexture(Writer& w, const EmbeddedTexture& t) {
  w.line("texture-data " + std::to_string(t.width) + " " + std::to_string(t.height) + " " + t.name);
  constexpr size_t kPerLine = 16;
  for (size_t i = 0; i < t.pixels.size(); i += kPerLine) {
    std::string row;
    for (size_t k = i; k < i + kPerLine && k < t.pixels.size(); ++k) {
      if (k != i) row += ' ';
      row += std::to_string(t.pixels[k]);
    }
    w.line(row);
  }
  w.line("texture-end");
}

void writeJoint(Writer& w, const std::vector<JointSpec>& joints, const JointSpec& j) {
  w.line("joint " + j.name + (j.parent >= 0 ? " " + joints[j.parent].name : ""));
  const Vec3 local = j.world - (j.parent >= 0 ? joints[j.parent].world : Vec3{});
  w.line(" translation " + triple(local.x, local.y, local.z));
  w.line(" jointOrientation 0 0 0");
  nodeCurves(w, j.curves);
  static const char* const kLimitKeys[6] = {"limit-rotate-min-x:", "limit-rotate-max-x:", "limit-rotate-min-y:",
                                            "limit-rotate-max-y:", "limit-rotate-min-z:", "limit-rotate-max-z:"};
  for (int i = 0; i < 6; ++i) {
    w.line(std::string(" ") + kLimitKeys[i] + " " + formatNumber(j.limits[i] / kDegreesPerRadian, 7));
  }
}

void writeMesh(Writer& w, const MeshSpec& m) {
  const MeshData& d = m.data;
  w.line("mesh " + d.name + " World");
  const Material& mat = m.material;
  const bool textured = !mat.texture.empty();
  if (textured) {
    w.line(" texture " + mat.texture);
  } else {
    w.line(" color " + triple(mat.color.r, mat.color.g, mat.color.b));
  }
  w.line(" ambientColor " + triple(mat.ambient.r, mat.ambient.g, mat.ambient.b));
  if (mat.emission.r > 0.0 || mat.emission.g > 0.0 || mat.emission.b > 0.0) {
    w.line(" incandescence " + triple(mat.emission.r, mat.emission.g, mat.emission.b));
  }
  if (mat.specular.a > 0.0) {
    w.line(" specularColor " + triple(mat.specular.r, mat.specular.g, mat.specular.b));
    w.line(" cosinePower " + num(mat.cosinePower));
  }
  if (mat.edgeLevel > 0.0) w.line(" edgeLevel: " + num(mat.edgeLevel));
  if (!m.picking.empty()) w.line(" picking: " + m.picking);
  if (m.hidden) w.line(" visibility: 1 1 0 0 0 0 0");
  for (const Vec3& p : d.positions) w.line(" v " + triple(p.x, p.y, p.z));
  for (const Vec3& n : d.normals) w.line(" vn " + triple(n.x, n.y, n.z));
  if (textured) {
    for (const auto& uv : d.uvs) w.line(" vt " + num(uv[0]) + " " + num(uv[1]));
  }
  for (size_t i = 0; i < d.colors.size(); ++i) {
    const Color& c = d.colors[i];
    w.line(" vc " + std::to_string(i) + " " + triple(c.r, c.g, c.b) + " " + num(c.a));
  }
  for (const auto& face : d.faces) {
    std::string f = " f";
    for (int v : face) {
      const std::string index = std::to_string(v + 1);
      f += " " + index + (textured ? "/" + index : "/") + "/" + index;
    }
    w.line(f);
  }
}

// One cluster per skinned mesh. Vertices are grouped by the joints that
// move them, and each group names exactly those joints, so that no vertex
// gets more influences than it has weights.
void writeSkin(Writer& w, const std::vector<JointSpec>& joints, const MeshData& d) {
  std::vector<std::pair<std::vector<int>, std::vector<int>>> groups;
  std::map<std::vector<int>, size_t> groupOf;
  for (int v = 0; v < d.vertexCount(); ++v) {
    if (d.weights[v].empty()) continue;
    std::vector<int> key;
    for (const Weight& x : d.weights[v]) key.push_back(x.joint);
    auto [it, added] = groupOf.emplace(key, groups.size());
    if (added) groups.push_back({key, {}});
    groups[it->second].second.push_back(v);
  }
  if (groups.empty()) return;
  w.line("skincluster " + d.name + "Skin");
  w.line(" target " + d.name);
  for (const auto& [jointList, vertices] : groups) {
    std::string names = " joint " + std::to_string(jointList.size());
    for (int j : jointList) names.append(" ").append(joints[j].name);
    w.line(names);
    for (int v : vertices) {
      std::string line = " weight ";
      line += std::to_string(v);
      for (const Weight& x : d.weights[v]) line.append(" ").append(num(x.weight));
      w.line(line);
    }
  }
}

}  // namespace

std::string formatNumber(double value, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  std::string s = buffer;
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

std::string sceneText(const SampleScene& scene) {
  Writer w;
  w.line("time: " + std::to_string(scene.startFrame) + " " + std::to_string(scene.endFrame));
  w.line("windowsize: " + std::to_string(scene.windowWidth) + " " + std::to_string(scene.windowHeight));
  w.line("startupmode: " + std::to_string(scene.playState) + " " + std::to_string(scene.topMost));
  w.line("randomAction: " + std::to_string(scene.randomAction[0]) + " " + std::to_string(scene.randomAction[1]) + " " +
         std::to_string(scene.randomAction[2]));
  w.line("randomMessage: " + std::to_string(scene.randomMessage[0]) + " " + std::to_string(scene.randomMessage[1]));
  for (const EmbeddedTexture& t : scene.textures) writeTexture(w, t);
  for (const JointSpec& j : scene.joints) writeJoint(w, scene.joints, j);
  for (const MeshSpec& m : scene.meshes) writeMesh(w, m);
  for (const MeshSpec& m : scene.meshes) writeSkin(w, scene.joints, m.data);
  for (const BlendSpec& b : scene.blends) {
    w.line("blend " + b.name + " 1");
    w.line(" base " + b.base);
    w.line(" target 0 " + b.target);
    w.line(curveLine("weight:", b.weight, false));
  }
  for (const CameraSpec& c : scene.cameras) {
    w.line("camera " + c.name);
    w.line(" vfov " + num(c.vfov));
    nodeCurves(w, c.curves);
  }
  for (const LightSpec& l : scene.lights) {
    w.line("light " + l.type + " " + l.name);
    w.line(" color " + triple(l.color.r, l.color.g, l.color.b));
    w.line(" intensity " + num(l.intensity));  // after the colour: it scales it
    nodeCurves(w, l.curves);
  }
  w.line("animation-set");
  for (const ActionSpec& a : scene.actions) {
    std::string line = " anim " + a.name + " " + std::to_string(a.start) + " " + std::to_string(a.end) + " 0 " +
                       a.camera + " slot" + std::to_string(a.slot) + " -";
    if (!a.sound.empty()) line += " " + a.sound;
    w.line(line);
  }
  return w.take();
}

std::string scrambleLine(std::string_view line) {
  std::string s(line);
  const size_t n = s.size();
  // The swaps pair disjoint positions, so doing them again undoes them.
  if (n > 3) {
    for (size_t i = 0; i < n / 2; i += 2) std::swap(s[i], s[n - 2 - i]);
  }
  for (char& c : s) c = static_cast<char>(static_cast<unsigned char>(c) - 1);
  return s;
}

std::string scrambleText(std::string_view text) {
  std::string out;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    out += scrambleLine(text.substr(start, end - start));
    out += '\n';
    start = end + 1;
  }
  return out;
}

}  // namespace vashel::sample
