#include "platform/kernel.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Kernel, TableBlockIsZeroedAndReleased) {
  auto* p =
      static_cast<BYTE*>(VirtualAlloc(nullptr, 1588, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(0, p[0]);
  EXPECT_EQ(0, p[1587]);
  EXPECT_TRUE(VirtualFree(p, 0, MEM_RELEASE));
  EXPECT_FALSE(VirtualFree(p, 0, MEM_RELEASE));  // already released
}

TEST(Kernel, TwoViewsOfOneMappingSeeTheSamePixels) {
  HANDLE section =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 100, nullptr);
  ASSERT_NE(nullptr, section);
  EXPECT_EQ(nullptr, MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 101));
  auto* a = static_cast<BYTE*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0));
  auto* b = static_cast<BYTE*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 100));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(0, a[99]);
  a[42] = 7;
  EXPECT_EQ(7, b[42]);
  EXPECT_TRUE(UnmapViewOfFile(a));
  EXPECT_TRUE(UnmapViewOfFile(b));
  EXPECT_FALSE(UnmapViewOfFile(b));
  EXPECT_TRUE(CloseHandle(section));
}

TEST(Kernel, ViewsKeepTheirPixelsAfterTheHandleIsClosed) {
  HANDLE section =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, nullptr);
  ASSERT_NE(nullptr, section);
  auto* whole = static_cast<BYTE*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0));
  auto* tail = static_cast<BYTE*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 60, 4));
  ASSERT_TRUE(whole && tail);
  EXPECT_EQ(whole + 60, tail);
  EXPECT_TRUE(CloseHandle(section));
  tail[3] = 9;  // still mapped: the sanitizer build catches a freed block here
  EXPECT_EQ(9, whole[63]);
  EXPECT_TRUE(UnmapViewOfFile(whole));
  EXPECT_EQ(9, tail[3]);
  EXPECT_TRUE(UnmapViewOfFile(tail));
}

TEST(Kernel, MappingRefusesEmptyAndOversizedViews) {
  EXPECT_EQ(nullptr,
            CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr));
  HANDLE section =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16, nullptr);
  EXPECT_EQ(nullptr, MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 17));
  EXPECT_EQ(nullptr, MapViewOfFile(nullptr, FILE_MAP_WRITE, 0, 0, 0));
  EXPECT_EQ(nullptr, MapViewOfFile(INVALID_HANDLE_VALUE, FILE_MAP_WRITE, 0, 0, 0));
  CloseHandle(section);
}

TEST(Kernel, GlobalMemoryIsZeroedAndSized) {
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 10);
  ASSERT_NE(nullptr, g);
  EXPECT_EQ(10u, GlobalSize(g));
  auto* p = static_cast<BYTE*>(GlobalLock(g));
  EXPECT_EQ(0, p[9]);
  EXPECT_FALSE(GlobalUnlock(g));  // no lock left
  EXPECT_EQ(nullptr, GlobalFree(g));
}
