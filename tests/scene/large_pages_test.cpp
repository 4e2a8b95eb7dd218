// The allocator of the model's big lists: large blocks aligned for large
// pages, contents kept across growth, and advice only where it can apply.
#include "scene/large_pages.h"

#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "scene/model.h"

namespace vashel {
namespace {

bool largePageAligned(const void* p) {
  return reinterpret_cast<std::uintptr_t>(p) % kLargePageBytes == 0;
}

TEST(LargePages, BigListsStartOnALargePageAndKeepTheirContents) {
  LargeList<int> list;
  const std::size_t count = 3 * kLargePageListBytes / sizeof(int) + 7;
  for (std::size_t i = 0; i < count; ++i) list.push_back(static_cast<int>(i * 3));
  EXPECT_TRUE(largePageAligned(list.data()));
  bool intact = true;
  for (std::size_t i = 0; i < count; ++i) intact = intact && list[i] == static_cast<int>(i * 3);
  EXPECT_TRUE(intact);
  // Copies and shrinking go through the same allocator both ways.
  LargeList<int> copy = list;
  EXPECT_TRUE(largePageAligned(copy.data()));
  copy.resize(10);
  copy.shrink_to_fit();
  EXPECT_EQ(copy.back(), 27);

  Mesh mesh;
  mesh.vertices.resize(kLargePageListBytes / sizeof(MeshVertex) + 1);
  EXPECT_TRUE(largePageAligned(mesh.vertices.data()));
}

// Whether the mapping holding `address` carries the large-page advice, from
// the "hg" flag of /proc/self/smaps.
bool advisedInSmaps(const void* address) {
  std::ifstream smaps("/proc/self/smaps");
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  bool inside = false;
  std::string line;
  while (std::getline(smaps, line)) {
    unsigned long long start = 0, end = 0;
    if (std::sscanf(line.c_str(), "%llx-%llx ", &start, &end) == 2 && line.find(':') > 8) {
      inside = at >= start && at < end;
    } else if (inside && line.starts_with("VmFlags:")) {
      return line.find(" hg") != std::string::npos;
    }
  }
  return false;
}

TEST(LargePages, AdviceOnlyForWholeLargePagesOfBigBlocks) {
  EXPECT_FALSE(adviseLargePages(nullptr, kLargePageListBytes));
  // A mapping of its own: heap memory may carry advice from earlier lists.
  const std::size_t bytes = 4 * kLargePageBytes;
  const std::size_t mapped = bytes + kLargePageBytes;
  void* mapping = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapping, MAP_FAILED);
  const auto start = reinterpret_cast<std::uintptr_t>(mapping);
  auto* block =
      reinterpret_cast<char*>((start + kLargePageBytes - 1) & ~(kLargePageBytes - 1));
  EXPECT_FALSE(adviseLargePages(block, kLargePageListBytes - 1));
  // From one byte in to one byte short of the end: only the two middle
  // large pages lie wholly inside.
  if (!adviseLargePages(block + 1, bytes - 2)) {
    munmap(mapping, mapped);
    GTEST_SKIP() << "no large-page advice on this system";
  }
  EXPECT_FALSE(advisedInSmaps(block));
  EXPECT_TRUE(advisedInSmaps(block + kLargePageBytes));
  EXPECT_TRUE(advisedInSmaps(block + 3 * kLargePageBytes - 1));
  EXPECT_FALSE(advisedInSmaps(block + 3 * kLargePageBytes));
  munmap(mapping, mapped);
}

TEST(LargePages, MediumBlocksAreMappedAtOnceKeepingTheirContents) {
  constexpr std::size_t kPage = 4096, kPages = 32;
  void* mapping =
      mmap(nullptr, kPages * kPage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(mapping, MAP_FAILED);
  auto* block = static_cast<char*>(mapping);
  block[5 * kPage + 7] = 42;
  EXPECT_FALSE(mapPagesAtOnce(nullptr, kPages * kPage));
  // From one byte in to one byte short of the end: all but the two pages
  // at the edges lie wholly inside.
  if (!mapPagesAtOnce(block + 1, kPages * kPage - 2)) {
    munmap(mapping, kPages * kPage);
    GTEST_SKIP() << "pages cannot be mapped at once on this system";
  }
  unsigned char resident[kPages] = {};
  ASSERT_EQ(mincore(mapping, kPages * kPage, resident), 0);
  EXPECT_FALSE(resident[0] & 1);
  for (std::size_t page = 1; page + 1 < kPages; ++page) EXPECT_TRUE(resident[page] & 1) << page;
  EXPECT_FALSE(resident[kPages - 1] & 1);
  EXPECT_EQ(block[5 * kPage + 7], 42);
  EXPECT_EQ(block[6 * kPage], 0);
  munmap(mapping, kPages * kPage);
}

}  // namespace
}  // namespace vashel
