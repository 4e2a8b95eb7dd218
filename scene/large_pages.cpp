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
  const bool advised = madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE) == 0;
#if defined(MADV_POPULATE_WRITE)
  // The small pages after the last whole large page are mapped in one call
  // rather than one fault each (up to 511 of them per list).
  const std::uintptr_t end = (start + bytes) & ~std::uintptr_t{4095};
  if (advised && end > last) {
    madvise(reinterpret_cast<void*>(last), end - last, MADV_POPULATE_WRITE);
  }
#endif
  return advised;
#else
  (void)data;
  (void)bytes;
  return false;
#endif
}

bool mapPagesAtOnce(const void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_POPULATE_WRITE)
  constexpr std::uintptr_t kPage = 4096;
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t first = (start + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t last = (start + bytes) & ~(kPage - 1);
  if (!data || last <= first) return false;
  // Refused (an older kernel) it changes nothing but speed.
  return madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE) == 0;
#else
  (void)data;
  (void)bytes;
  return false;
#endif
}

}  // namespace vashel
