// The kernel calls of the image store: the table block, page-file-backed file mappings for pixel
// memory (so a DIB section can map the same pixels without a copy), and global memory blocks.
// Handles are pointers to kernel objects; each object is used by one thread at a time.
#pragma once

#include <cstddef>

#include "platform/win_types.h"

struct KernelObject {
  virtual ~KernelObject() = default;
};
using HANDLE = KernelObject*;
using HGLOBAL = KernelObject*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t(0));

constexpr DWORD MEM_COMMIT = 0x1000;
constexpr DWORD MEM_RESERVE = 0x2000;
constexpr DWORD MEM_RELEASE = 0x8000;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_WRITE = 0x0002;

// Page-granular zeroed memory. Returns nullptr when none can be had.
void* VirtualAlloc(void* address, std::size_t size, DWORD allocationType, DWORD protect);
BOOL VirtualFree(void* address, std::size_t size, DWORD freeType);

// An unnamed zeroed shared-memory object of sizeHigh:sizeLow bytes (file must be
// INVALID_HANDLE_VALUE). Returns nullptr on failure, including a size of 0.
HANDLE CreateFileMappingA(HANDLE file, const void* security, DWORD protect, DWORD sizeHigh,
                          DWORD sizeLow, const char* name);
// Maps a view of a mapping; size 0 maps it all. Returns nullptr on failure. Views keep the
// memory alive after the handle is closed; views of the same offset share one address.
void* MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                    std::size_t size);
BOOL UnmapViewOfFile(const void* view);
BOOL CloseHandle(HANDLE object);

// Global memory, as the clipboard exchanges it.
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
void* GlobalLock(HGLOBAL memory);
BOOL GlobalUnlock(HGLOBAL memory);
std::size_t GlobalSize(HGLOBAL memory);
HGLOBAL GlobalFree(HGLOBAL memory);  // nullptr on success
