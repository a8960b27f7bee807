#include "platform/kernel.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/fresh_pages.h"
#include "platform/handle_object.h"

namespace {

// Sizes of the blocks handed out by VirtualAlloc, so that VirtualFree, given only an address, can
// tell its own blocks from anything else. Several threads compose at once.
class RegionTable {
 public:
  void Add(const void* address, std::size_t size) {
    std::lock_guard lock(mutex_);
    sizes_[address] = size;
  }
  // The size of a region, removed from the table; 0 when the address is unknown.
  std::size_t Take(const void* address) {
    std::lock_guard lock(mutex_);
    const auto it = sizes_.find(address);
    if (it == sizes_.end()) return 0;
    const std::size_t size = it->second;
    sizes_.erase(it);
    return size;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<const void*, std::size_t> sizes_;
};

RegionTable& VirtualRegions() {
  static RegionTable table;
  return table;
}

// The memory of an unnamed shared-memory object: one zeroed heap block that every view of the
// mapping points into, so all views see the same pixels. The block lives until the handle is
// closed and the last view is unmapped, in whichever order that happens. Heap memory rather than
// a shared-memory file: creating, sizing, faulting in and tearing down such a file cost more than
// decoding a small image.
using SharedBlock = std::shared_ptr<BYTE[]>;

// The views handed out by MapViewOfFile, so that UnmapViewOfFile, given only an address, can
// release the block behind it. Two views of the same offset share an address, hence the count.
class ViewTable {
 public:
  void Add(const void* address, SharedBlock block) {
    std::lock_guard lock(mutex_);
    View& view = views_[address];
    view.block = std::move(block);
    ++view.count;
  }
  bool Remove(const void* address) {
    SharedBlock released;  // freed outside the lock
    std::lock_guard lock(mutex_);
    const auto it = views_.find(address);
    if (it == views_.end()) return false;
    if (--it->second.count == 0) {
      released = std::move(it->second.block);
      views_.erase(it);
    }
    return true;
  }

 private:
  struct View {
    SharedBlock block;
    int count = 0;
  };
  std::mutex mutex_;
  std::unordered_map<const void*, View> views_;
};

ViewTable& MappedViews() {
  static ViewTable table;
  return table;
}

constexpr std::size_t kPageSize = 4096;
// Table blocks are small; anything near this size is a caller's mistake, not a table.
constexpr std::size_t kMaxVirtualBytes = std::size_t(1) << 30;

struct FileMapping : KernelObject {
  SharedBlock block;
  std::size_t size = 0;
};

struct GlobalBlock : KernelObject {
  std::vector<BYTE> bytes;
  int locks = 0;
};

// The kernel object behind a handle, when it is one of type T.
template <typename T>
T* As(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  return dynamic_cast<T*>(handle);
}

}  // namespace

void* VirtualAlloc(void* address, std::size_t size, DWORD allocationType, DWORD protect) {
  if (address != nullptr || size == 0 || size > kMaxVirtualBytes ||
      (allocationType & MEM_COMMIT) == 0 || protect != PAGE_READWRITE) {
    return nullptr;
  }
  // Whole zeroed pages, as the kernel would hand them out. They come from the heap rather than
  // from mmap: every image store takes one such block, and a system call pair per store was a
  // large part of loading a small file.
  const std::size_t bytes = (size + kPageSize - 1) / kPageSize * kPageSize;
  void* memory = std::aligned_alloc(kPageSize, bytes);
  if (memory == nullptr) return nullptr;
  std::memset(memory, 0, bytes);
  VirtualRegions().Add(memory, bytes);
  return memory;
}

BOOL VirtualFree(void* address, std::size_t, DWORD freeType) {
  if (freeType != MEM_RELEASE) return FALSE;
  if (VirtualRegions().Take(address) == 0) return FALSE;
  std::free(address);
  return TRUE;
}

HANDLE CreateFileMappingA(HANDLE file, const void*, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                          const char* name) {
  const std::size_t size = (std::size_t(sizeHigh) << 32) | sizeLow;
  if (file != INVALID_HANDLE_VALUE || name != nullptr || protect != PAGE_READWRITE || size == 0) {
    return nullptr;
  }
  return NewHandleObject<FileMapping>([size](FileMapping& mapping) {
    // Fresh pages take memory only once pixels are written.
    BYTE* bytes = static_cast<BYTE*>(AllocateFreshPages(size));
    if (bytes == nullptr) return false;
    // Frees bytes if it throws.
    mapping.block = SharedBlock(bytes, [size](BYTE* p) { FreePages(p, size); });
    mapping.size = size;
    return true;
  });
}

void* MapViewOfFile(HANDLE handle, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                    std::size_t size) {
  auto* mapping = As<FileMapping>(handle);
  if (mapping == nullptr) return nullptr;
  const std::size_t offset = (std::size_t(offsetHigh) << 32) | offsetLow;
  if (offset > mapping->size) return nullptr;
  if (size == 0) size = mapping->size - offset;
  if (size == 0 || size > mapping->size - offset) return nullptr;
  // Views are always writable: heap memory has no per-view protection.
  (void)access;
  BYTE* view = mapping->block.get() + offset;
  try {
    MappedViews().Add(view, mapping->block);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return view;
}

BOOL UnmapViewOfFile(const void* view) {
  return MappedViews().Remove(view) ? TRUE : FALSE;
}

BOOL CloseHandle(HANDLE object) {
  if (object == nullptr || object == INVALID_HANDLE_VALUE) return FALSE;
  delete object;
  return TRUE;
}

HGLOBAL GlobalAlloc(UINT, std::size_t bytes) {
  return NewHandleObject<GlobalBlock>([bytes](GlobalBlock& block) {
    block.bytes.resize(bytes);  // zeroed whether or not GMEM_ZEROINIT was asked
    return true;
  });
}

void* GlobalLock(HGLOBAL memory) {
  auto* block = As<GlobalBlock>(memory);
  if (block == nullptr) return nullptr;
  ++block->locks;
  // A block of 0 bytes still has an address.
  return block->bytes.empty() ? static_cast<void*>(block) : block->bytes.data();
}

BOOL GlobalUnlock(HGLOBAL memory) {
  auto* block = As<GlobalBlock>(memory);
  if (block == nullptr || block->locks == 0) return FALSE;
  return --block->locks > 0;
}

std::size_t GlobalSize(HGLOBAL memory) {
  const auto* block = As<const GlobalBlock>(memory);
  return block ? block->bytes.size() : 0;
}

HGLOBAL GlobalFree(HGLOBAL memory) {
  auto* block = As<GlobalBlock>(memory);
  if (block == nullptr) return memory;
  delete block;
  return nullptr;
}
