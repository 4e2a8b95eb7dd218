#include "scene/large_pages.h"

#include <cstdint>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace vashel {

bool adviseLargePages(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  if (!data || bytes < kLargePageListBytes) return false;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + kLargePageBytes - 1) & ~(kLargePageBytes - 1);
  const std::uintptr_t last = (start + bytes) & ~(kLargePageBytes - 1);
  if (last <= first) return false;
  // Advice that is refused (no transparent pages in this kernel) changes
  // nothing but speed.
  return madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE) == 0;
#else
  (void)data;
  (void)bytes;
  return false;
#endif
}

}  // namespace vashel
