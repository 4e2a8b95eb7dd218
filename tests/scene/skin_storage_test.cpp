// Skin influences kept flat by their mesh: given in vertex order, out of
// order or again, by hand and by the loader's "weight" lines.
#include <gtest/gtest.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "scene/model.h"
#include "scene_fakes.h"

namespace vashel {
namespace {

using List = std::vector<std::pair<int, double>>;

List listOf(std::span<const SkinInfluence> influences) {
  List out;
  for (const SkinInfluence& i : influences) out.emplace_back(i.joint, i.weight);
  return out;
}

TEST(SkinStorage, InfluencesInAnyOrderReadBackAsLastGiven) {
  Mesh mesh;
  mesh.vertices.resize(6);
  EXPECT_TRUE(mesh.influences(0).empty());
  mesh.setInfluences(1, {{0, 0.5}, {1, 0.5}});
  mesh.setInfluences(3, {{2, 1.0}});  // vertex 2 skipped: none
  EXPECT_EQ(listOf(mesh.influences(0)), List{});
  EXPECT_EQ(listOf(mesh.influences(1)), (List{{0, 0.5}, {1, 0.5}}));
  EXPECT_EQ(listOf(mesh.influences(2)), List{});
  EXPECT_EQ(listOf(mesh.influences(3)), (List{{2, 1.0}}));
  EXPECT_EQ(listOf(mesh.influences(5)), List{});

  // Back to an earlier vertex, longer and then shorter than before.
  mesh.setInfluences(1, {{4, 0.1}, {5, 0.2}, {6, 0.7}});
  mesh.setInfluences(2, {{7, 1.0}});
  mesh.setInfluences(3, {});
  EXPECT_EQ(listOf(mesh.influences(1)), (List{{4, 0.1}, {5, 0.2}, {6, 0.7}}));
  EXPECT_EQ(listOf(mesh.influences(2)), (List{{7, 1.0}}));
  EXPECT_EQ(listOf(mesh.influences(3)), List{});
  EXPECT_EQ(mesh.influenceCount(), 4u);

  // A list taken from the mesh itself.
  mesh.setInfluences(4, mesh.influences(1));
  mesh.setInfluences(0, mesh.influences(2));
  EXPECT_EQ(listOf(mesh.influences(4)), (List{{4, 0.1}, {5, 0.2}, {6, 0.7}}));
  EXPECT_EQ(listOf(mesh.influences(0)), (List{{7, 1.0}}));

  const SkinInfluence first[] = {{1, 1.0}}, second[] = {{2, 1.0}}, beyond[] = {{3, 1.0}};
  const InfluenceUpdate updates[] = {{0, first}, {5, beyond}, {0, second}};
  mesh.updateInfluences(updates);
  EXPECT_EQ(listOf(mesh.influences(0)), (List{{2, 1.0}}));
  EXPECT_EQ(listOf(mesh.influences(5)), (List{{3, 1.0}}));
  EXPECT_EQ(listOf(mesh.influences(4)), (List{{4, 0.1}, {5, 0.2}, {6, 0.7}}));

  mesh.normalSkinVertex = {4, -1, 9};
  EXPECT_EQ(listOf(mesh.normalInfluences(0)), listOf(mesh.influences(4)));
  EXPECT_TRUE(mesh.normalInfluences(1).empty());
  EXPECT_TRUE(mesh.normalInfluences(2).empty());  // no such vertex
  EXPECT_TRUE(mesh.normalInfluences(3).empty());
}

// Enough weight lines that the pool grows by the look-ahead, with vertices
// given again and out of order among them: each vertex ends with its last line.
TEST(SkinStorage, WeightLinesInAnyOrderEndWithTheLastLineOfEachVertex) {
  constexpr int kVertices = 6000;
  std::string text = "joint a\njoint b\njoint c\nmesh m World\n";
  for (int v = 0; v < kVertices; ++v) text += " v 0 0 0\n";
  text += "skincluster s\n target m\n joint 3 a b c\n";
  std::vector<List> expected(kVertices);
  auto weightLine = [&](int v, int count, double scale) {
    text += " weight " + std::to_string(v);
    List list;
    for (int k = 0; k < count; ++k) {
      const double w = scale * (k + 1);
      text += " " + std::to_string(w);
      list.emplace_back(k, std::stod(std::to_string(w)));
    }
    text += "\n";
    expected[v] = list;
  };
  for (int v = 0; v < kVertices; v += 1 + v % 2) weightLine(v, 1 + v % 3, 0.125);
  for (int v = kVertices - 1; v >= 0; v -= 7) weightLine(v, v % 4, 0.25);
  weightLine(kVertices - 1, 3, 0.5);
  weightLine(10, 2, 0.5);
  const auto parsed = parse(text);
  EXPECT_TRUE(parsed->diagnostics.empty());
  const Mesh& mesh = parsed->scene->meshes[0];
  for (int v = 0; v < kVertices; ++v) {
    ASSERT_EQ(listOf(mesh.influences(v)), expected[v]) << "vertex " << v;
  }
}

}  // namespace
}  // namespace vashel
