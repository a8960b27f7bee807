#include "platform/fresh_pages.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {

// From this size on a block is mapped on its own, in huge pages where the kernel has them.
constexpr std::size_t kHugePageSize = std::size_t(2) << 20;

// Under AddressSanitizer every block stays on the heap, where a write past its end is caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kMapLargeBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kMapLargeBlocks = false;
#else
constexpr bool kMapLargeBlocks = true;
#endif
#else
constexpr bool kMapLargeBlocks = true;
#endif

bool Mapped(std::size_t size) {
  return kMapLargeBlocks && size >= kHugePageSize;
}

void* MapPages(std::size_t size) {
  void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return nullptr;
  madvise(block, size, MADV_HUGEPAGE);  // advice only: without huge pages it works as well
  return block;
}

}  // namespace

void* AllocateFreshPages(std::size_t size) {
  // calloc, not a zeroing new: a large heap block comes as fresh pages too.
  return Mapped(size) ? MapPages(size) : std::calloc(size, 1);
}

void* AllocateScratchPages(std::size_t size) {
  return Mapped(size) ? MapPages(size) : std::malloc(size);
}

void FreePages(void* block, std::size_t size) {
  if (block == nullptr) return;
  if (Mapped(size))
    munmap(block, size);
  else
    std::free(block);
}
