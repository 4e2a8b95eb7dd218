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

void checkIndexRoom(std::size_t used, std::size_t more) {
  if (more > std::numeric_limits<std::uint32_t>::max() - used) {
    throw std::length_error("too many entries in one mesh");
  }
}

}  // namespace

std::span<const SkinInfluence> Mesh::normalInfluences(std::size_t normal) const {
  if (normal >= normalSkinVertex.size()) return {};
  const int vertex = normalSkinVertex[normal];
  if (vertex < 0 || static_cast<std::size_t>(vertex) >= vertices.size()) return {};
  return influences(static_cast<std::size_t>(vertex));
}

void Mesh::setInfluences(std::size_t v, std::span<const SkinInfluence> list) {
  if (v < influencedVertices()) {
    const InfluenceUpdate update{v, list};
    updateInfluences({&update, 1});
    return;
  }
  checkIndexRoom(influencePool_.size(), list.size());
  const SkinInfluence* const pool = influencePool_.data();
  if (!list.empty() && list.data() >= pool && list.data() < pool + influencePool_.size()) {
    const std::vector<SkinInfluence> copy(list.begin(), list.end());
    setInfluences(v, copy);
    return;
  }
  if (influenceStart_.empty()) influenceStart_.push_back(0);
  // Vertices skipped over have none.
  influenceStart_.resize(v + 1, static_cast<std::uint32_t>(influencePool_.size()));
  for (const SkinInfluence& influence : list) influencePool_.push_back(influence);
  influenceStart_.push_back(static_cast<std::uint32_t>(influencePool_.size()));
}

void Mesh::updateInfluences(std::span<const InfluenceUpdate> updates) {
  if (updates.empty()) return;
  std::size_t covered = influencedVertices();
  for (const InfluenceUpdate& update : updates) covered = std::max(covered, update.vertex + 1);
  std::vector<std::int64_t> latest(covered, -1);
  for (std::size_t i = 0; i < updates.size(); ++i) {
    latest[updates[i].vertex] = static_cast<std::int64_t>(i);
  }
  LargeList<std::uint32_t> starts;
  starts.reserve(covered + 1);
  LargeList<SkinInfluence> pool;
  std::size_t total = 0;
  for (std::size_t v = 0; v < covered; ++v) {
    total += latest[v] >= 0 ? updates[static_cast<std::size_t>(latest[v])].influences.size()
                            : influences(v).size();
  }
  checkIndexRoom(0, total);
  pool.reserve(total);
  for (std::size_t v = 0; v < covered; ++v) {
    starts.push_back(static_cast<std::uint32_t>(pool.size()));
    const std::span<const SkinInfluence> list =
        latest[v] >= 0 ? updates[static_cast<std::size_t>(latest[v])].influences : influences(v);
    pool.insert(pool.end(), list.begin(), list.end());
  }
  starts.push_back(static_cast<std::uint32_t>(pool.size()));
  influenceStart_ = std::move(starts);
  influencePool_ = std::move(pool);
}

void Mesh::reserveInfluences(std::size_t vertexCount, std::size_t influenceCount) {
  influenceStart_.reserve(vertexCount + 1);
  influencePool_.reserve(influencePool_.size() + influenceCount);
}

void Mesh::addFace(std::span<const int> vertex, std::span<const int> texcoord,
                   std::span<const int> normal) {
  const std::size_t n = vertex.size();
  checkIndexRoom(faceVertex_.size(), n);
  // Appended element by element: faces are short, and a range insert or a
  // resize takes a slow generic path.
  if (texcoord.size() == n && normal.size() == n) {
    // Every corner complete, as an exporter writes them.
    for (std::size_t c = 0; c < n; ++c) {
      faceVertex_.push_back(vertex[c]);
      faceTexcoord_.push_back(texcoord[c]);
      faceNormal_.push_back(normal[c]);
    }
    faceStart_.push_back(static_cast<std::uint32_t>(faceVertex_.size()));
    return;
  }
  for (std::size_t c = 0; c < n; ++c) {
    faceVertex_.push_back(vertex[c]);
    faceTexcoord_.push_back(c < texcoord.size() ? texcoord[c] : -1);
    faceNormal_.push_back(c < normal.size() ? normal[c] : -1);
  }
  faceStart_.push_back(static_cast<std::uint32_t>(faceVertex_.size()));
}

void Mesh::reserveFaces(std::size_t faces, std::size_t corners) {
  faceStart_.reserve(faceStart_.size() + faces);
  for (LargeList<int>* list : {&faceVertex_, &faceTexcoord_, &faceNormal_}) {
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
    for (LargeList<int>* list : {&faceVertex_, &faceTexcoord_, &faceNormal_}) {
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
  for (LargeList<int>* list : {&faceVertex_, &faceTexcoord_, &faceNormal_}) {
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
