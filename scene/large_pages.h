// Advice to the kernel for the model's largest lists.
#pragma once

#include <cstddef>
#include <limits>
#include <new>
#include <vector>

namespace vashel {

inline constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;
inline constexpr std::size_t kLargePageListBytes = kLargePageBytes;

// Asks for 2 MiB pages over the whole 2 MiB blocks inside [data, data+bytes),
// for a block of memory not yet written: one fault then maps 512 pages
// instead of one, which is most of the cost of filling a fresh list on a
// virtual machine; the small pages after the last whole large page are
// mapped at once. Only for blocks of at least kLargePageListBytes; a no-op
// where the system has no such advice. Returns whether advice was given.
bool adviseLargePages(const void* data, std::size_t bytes);

// Blocks from this size up to kLargePageListBytes have their pages mapped in
// one call when allocated, rather than one fault per 4 KiB page as they fill.
inline constexpr std::size_t kMapAtOnceBytes = std::size_t{64} << 10;
// Maps the whole pages inside [data, data+bytes) for writing, in one call;
// their contents stay as they are. A no-op where the system cannot; returns
// whether they were mapped.
bool mapPagesAtOnce(const void* data, std::size_t bytes);

// The allocator of the model's big lists (positions, normals, texture
// coordinates, face corners, skin influences). A block of at least
// kLargePageListBytes starts on a 2 MiB boundary and is advised as above, so
// that all of its whole blocks can be large pages; smaller ones are plain,
// their pages mapped at once from kMapAtOnceBytes on.
template <typename T>
struct LargePageAllocator {
  using value_type = T;

  LargePageAllocator() = default;
  template <typename U>
  LargePageAllocator(const LargePageAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > std::numeric_limits<std::size_t>::max() / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = n * sizeof(T);
    if (bytes < kLargePageListBytes) {
      void* block = ::operator new(bytes);
      if (bytes >= kMapAtOnceBytes) mapPagesAtOnce(block, bytes);
      return static_cast<T*>(block);
    }
    void* block = ::operator new(bytes, std::align_val_t{kLargePageBytes});
    adviseLargePages(block, bytes);
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t n) noexcept {
    if (n * sizeof(T) < kLargePageListBytes) {
      ::operator delete(block);
    } else {
      ::operator delete(block, std::align_val_t{kLargePageBytes});
    }
  }

  friend bool operator==(const LargePageAllocator&, const LargePageAllocator&) { return true; }
};

template <typename T>
using LargeList = std::vector<T, LargePageAllocator<T>>;

}  // namespace vashel
