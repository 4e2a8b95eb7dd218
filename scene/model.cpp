// Lookups over the scene's lists.
#include "scene/model.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

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

void Mesh::addFace(std::span<const int> vertex, std::span<const int> texcoord,
                   std::span<const int> normal) {
  const std::size_t n = vertex.size();
  if (n > std::numeric_limits<std::uint32_t>::max() - faceVertex_.size()) {
    throw std::length_error("too many face corners in one mesh");
  }
  faceVertex_.insert(faceVertex_.end(), vertex.begin(), vertex.end());
  for (auto [list, from] : {std::pair{&faceTexcoord_, texcoord}, std::pair{&faceNormal_, normal}}) {
    const std::size_t given = std::min(n, from.size());
    list->insert(list->end(), from.begin(), from.begin() + static_cast<std::ptrdiff_t>(given));
    list->insert(list->end(), n - given, -1);
  }
  faceStart_.push_back(static_cast<std::uint32_t>(faceVertex_.size()));
}

void Mesh::reserveFaces(std::size_t faces, std::size_t corners) {
  faceStart_.reserve(faceStart_.size() + faces);
  for (std::vector<int>* list : {&faceVertex_, &faceTexcoord_, &faceNormal_}) {
    list->reserve(list->size() + corners);
  }
}

void Mesh::removeFaces(std::span<const std::size_t> ascending) {
  std::size_t next = 0, outFace = 0, outCorner = 0;
  const std::size_t count = faceCount();
  for (std::size_t f = 0; f < count; ++f) {
    const std::size_t at = faceStart_[f], end = faceStart_[f + 1];
    if (next < ascending.size() && ascending[next] == f) {
      ++next;
      continue;
    }
    for (std::vector<int>* list : {&faceVertex_, &faceTexcoord_, &faceNormal_}) {
      std::copy(list->begin() + static_cast<std::ptrdiff_t>(at),
                list->begin() + static_cast<std::ptrdiff_t>(end),
                list->begin() + static_cast<std::ptrdiff_t>(outCorner));
    }
    faceStart_[outFace] = static_cast<std::uint32_t>(outCorner);
    outCorner += end - at;
    ++outFace;
  }
  faceStart_[outFace] = static_cast<std::uint32_t>(outCorner);
  faceStart_.resize(outFace + 1);
  for (std::vector<int>* list : {&faceVertex_, &faceTexcoord_, &faceNormal_}) {
    list->resize(outCorner);
  }
}

void Mesh::clearFaces() {
  faceStart_.assign(1, 0);
  faceVertex_.clear();
  faceTexcoord_.clear();
  faceNormal_.clear();
}

std::size_t Mesh::faceBytes() const {
  return faceStart_.capacity() * sizeof(std::uint32_t) +
         (faceVertex_.capacity() + faceTexcoord_.capacity() + faceNormal_.capacity()) *
             sizeof(int);
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
