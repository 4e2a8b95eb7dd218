// Lookups over the scene's lists.
#include "scene/model.h"

namespace vashel {
namespace {

template <typename List>
int findByName(const List& list, std::string_view name) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

const std::vector<SkinInfluence> kNoInfluences;

}  // namespace

const std::vector<SkinInfluence>& Mesh::normalInfluences(std::size_t normal) const {
  if (normal >= normalSkinVertex.size()) return kNoInfluences;
  const int vertex = normalSkinVertex[normal];
  if (vertex < 0 || static_cast<std::size_t>(vertex) >= vertices.size()) return kNoInfluences;
  return vertices[static_cast<std::size_t>(vertex)].influences;
}

int Scene::findMesh(std::string_view name) const { return findByName(meshes, name); }
int Scene::findJoint(std::string_view name) const { return findByName(joints, name); }
int Scene::findCameraByName(std::string_view name) const { return findByName(cameras, name); }
int Scene::findAction(std::string_view name) const { return findByName(actions, name); }

Action* Scene::action(int slot) {
  return slot >= 0 && slot < static_cast<int>(actions.size()) ? &actions[slot] : nullptr;
}
const Action* Scene::action(int slot) const {
  return slot >= 0 && slot < static_cast<int>(actions.size()) ? &actions[slot] : nullptr;
}

}  // namespace vashel
