// Faces stored flat in their mesh: building, mending and removing faces, and
// the loader filling long runs of faces within what the file can hold.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

#include "scene/model.h"
#include "scene_fakes.h"

namespace vashel {
namespace {

std::vector<int> corners(std::span<const int> list) { return {list.begin(), list.end()}; }

struct Corners {
  std::vector<int> vertex, texcoord, normal;
  bool operator==(const Corners&) const = default;
};

Corners cornersOf(const Mesh& mesh, std::size_t f) {
  const FaceView face = mesh.face(f);
  return {corners(face.vertex), corners(face.texcoord), corners(face.normal)};
}

TEST(FaceStorage, FacesAreBuiltMendedAndRemovedInPlace) {
  Mesh mesh;
  EXPECT_EQ(mesh.faceCount(), 0u);
  mesh.addFace({0, 1, 2}, {3, 4, 5}, {6, 7, 8});
  // Lists shorter than the corners read -1 there; entries past them go.
  mesh.addFace({9, 10, 11, 12}, {1}, {2, 3, 4, 5, 6, 7});
  mesh.addFace({13}, {}, {});
  mesh.addFace({14, 15}, {0, 0}, {1, 1});
  ASSERT_EQ(mesh.faceCount(), 4u);
  EXPECT_EQ(mesh.cornerCount(), 10u);
  EXPECT_EQ(cornersOf(mesh, 0), (Corners{{0, 1, 2}, {3, 4, 5}, {6, 7, 8}}));
  EXPECT_EQ(cornersOf(mesh, 1), (Corners{{9, 10, 11, 12}, {1, -1, -1, -1}, {2, 3, 4, 5}}));
  EXPECT_EQ(cornersOf(mesh, 2), (Corners{{13}, {-1}, {-1}}));

  mesh.editFace(2).normal[0] = 42;
  mesh.editFace(1).vertex[3] = 99;
  EXPECT_EQ(cornersOf(mesh, 2), (Corners{{13}, {-1}, {42}}));
  EXPECT_EQ(cornersOf(mesh, 1).vertex, (std::vector<int>{9, 10, 11, 99}));

  const std::size_t firstAndThird[] = {0, 2};
  mesh.removeFaces(firstAndThird);
  ASSERT_EQ(mesh.faceCount(), 2u);
  EXPECT_EQ(mesh.cornerCount(), 6u);
  EXPECT_EQ(cornersOf(mesh, 0), (Corners{{9, 10, 11, 99}, {1, -1, -1, -1}, {2, 3, 4, 5}}));
  EXPECT_EQ(cornersOf(mesh, 1), (Corners{{14, 15}, {0, 0}, {1, 1}}));
  const std::size_t last[] = {1};
  mesh.removeFaces(last);
  EXPECT_EQ(mesh.faceCount(), 1u);
  EXPECT_EQ(cornersOf(mesh, 0).vertex, (std::vector<int>{9, 10, 11, 99}));

  mesh.clearFaces();
  EXPECT_EQ(mesh.faceCount(), 0u);
  mesh.addFace({5}, {5}, {5});
  EXPECT_EQ(cornersOf(mesh, 0), (Corners{{5}, {5}, {5}}));
}

// Enough faces that their lists grow by the look-ahead, of varying corner
// counts, some dropped for a vertex index beyond the mesh: every face that
// stays reads back as written.
TEST(FaceStorage, LongRunsOfFacesReadBackExactly) {
  constexpr int kVertices = 50;
  std::string text = "mesh a World\n";
  for (int v = 0; v < kVertices; ++v) text += " v 0 0 0\n vt 0 0\n vn 0 0 1\n";
  std::vector<Corners> expected;
  for (int f = 0; f < 20000; ++f) {
    const bool dropped = f % 997 == 5;
    Corners face;
    text += " f";
    for (int c = 0; c < 1 + f % 6; ++c) {
      const int v = dropped && c == 0 ? kVertices + 1 : (f + c) % kVertices;
      const int t = (f + 2 * c) % kVertices, n = (f * 3 + c) % kVertices;
      const bool withTexcoord = (f + c) % 4 != 0;
      text += " " + std::to_string(v + 1) + "/" + (withTexcoord ? std::to_string(t + 1) : "") +
              "/" + std::to_string(n + 1);
      face.vertex.push_back(v);
      face.texcoord.push_back(withTexcoord ? t : -1);
      face.normal.push_back(n);
    }
    text += "\n";
    if (!dropped) expected.push_back(face);
  }
  const auto parsed = parse(text);
  const Mesh& mesh = parsed->scene->meshes[0];
  ASSERT_EQ(mesh.faceCount(), expected.size());
  for (std::size_t f = 0; f < expected.size(); ++f) {
    ASSERT_EQ(cornersOf(mesh, f), expected[f]) << "face " << f;
  }
  EXPECT_EQ(parsed->diagnostics.size(), 21u);
  // Room kept for faces that never came stays below the faces themselves.
  EXPECT_LE(mesh.faceBytes(), 2 * (mesh.cornerCount() * 3 * sizeof(int)));
}

// One face of many corners makes the corners per face so far large; the run
// of one-corner faces after it must not reserve that many corners for each.
TEST(FaceStorage, ReservedCornersStayWithinWhatTheFileHolds) {
  std::string text = "mesh a World\n v 0 0 0\n f";
  for (int c = 0; c < 100000; ++c) text += " 1//";
  text += "\n";
  for (int f = 0; f < 200000; ++f) text += " f 1//\n";
  const auto parsed = parse(text);
  const Mesh& mesh = parsed->scene->meshes[0];
  ASSERT_EQ(mesh.faceCount(), 200001u);
  EXPECT_LE(mesh.faceBytes(), 8 * text.size());
}

}  // namespace
}  // namespace vashel
