#include "platform/gdi.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/halftone_palette.h"

namespace {

HPALETTE MakePalette(std::vector<PALETTEENTRY> entries) {
  std::vector<BYTE> block(sizeof(LOGPALETTE) + entries.size() * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = WORD(entries.size());
  std::copy(entries.begin(), entries.end(), lp->palPalEntry);
  return CreatePalette(lp);
}

}  // namespace

TEST(GdiPalette, EntriesRoundTripWithFlags) {
  HPALETTE p = MakePalette({{1, 2, 3, 4}, {5, 6, 7, 0}});
  ASSERT_NE(nullptr, p);
  PALETTEENTRY out[256] = {};
  EXPECT_EQ(2u, GetPaletteEntries(p, 0, 256, out));
  EXPECT_EQ(3, out[0].peBlue);
  EXPECT_EQ(4, out[0].peFlags);
  EXPECT_EQ(1u, GetPaletteEntries(p, 1, 256, out));
  EXPECT_EQ(5, out[0].peRed);
  EXPECT_EQ(0u, GetPaletteEntries(p, 2, 256, out));
  HPALETTE copy = CopyPalette(p);
  EXPECT_EQ(2u, GetPaletteEntries(copy, 0, 256, nullptr));
  EXPECT_TRUE(DeleteObject(p));
  EXPECT_TRUE(DeleteObject(copy));
  EXPECT_EQ(0u, GetPaletteEntries(nullptr, 0, 256, out));
}

TEST(GdiPalette, SelectingHandsBackThePreviousPalette) {
  HDC dc = GetDC(nullptr);
  HPALETTE p = MakePalette({{0, 0, 0, 0}});
  HPALETTE old = SelectPalette(dc, p, TRUE);
  ASSERT_NE(nullptr, old);
  EXPECT_EQ(1u, RealizePalette(dc));
  EXPECT_EQ(p, SelectPalette(dc, old, TRUE));
  EXPECT_FALSE(DeleteObject(old));  // the default palette is never deleted
  DeleteObject(p);
  ReleaseDC(nullptr, dc);
}

TEST(GdiScreen, TrueColourUnlessSwitchedToAPaletteDisplay) {
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(0, GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE);
  EXPECT_EQ(32, GetDeviceCaps(dc, BITSPIXEL));
  SetPaletteDisplay(true);
  EXPECT_NE(0, GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE);
  EXPECT_LE(GetDeviceCaps(dc, NUMCOLORS), 256);
  EXPECT_EQ(8, GetDeviceCaps(dc, BITSPIXEL));
  SetPaletteDisplay(false);
  ReleaseDC(nullptr, dc);
}

TEST(GdiBitmap, SectionOverAMappingSharesThePixels) {
  HANDLE section =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16, nullptr);
  auto* view = static_cast<BYTE*>(MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0));
  BITMAPINFO info{};
  info.bmiHeader = {40, 5, 2, 1, 8, BI_RGB, 0, 0, 0, 1, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, section, 0);
  ASSERT_NE(nullptr, bmp);
  static_cast<BYTE*>(bits)[3] = 9;
  EXPECT_EQ(9, view[3]);
  DIBSECTION ds{};
  EXPECT_EQ(int(sizeof ds), GetObject(bmp, sizeof ds, &ds));
  EXPECT_EQ(section, ds.dshSection);
  EXPECT_EQ(8, ds.dsBm.bmWidthBytes);
  EXPECT_EQ(1u, ds.dsBmih.biClrUsed);
  DeleteObject(bmp);
  UnmapViewOfFile(view);
  CloseHandle(section);
}

TEST(GdiBitmap, ScreenBitmapReportsOnlyABitmapRecord) {
  HBITMAP ddb = CreateCompatibleBitmap(nullptr, 3, 2);
  ASSERT_NE(nullptr, ddb);
  DIBSECTION ds{};
  EXPECT_EQ(int(sizeof(BITMAP)), GetObject(ddb, sizeof ds, &ds));
  EXPECT_EQ(32, ds.dsBm.bmBitsPixel);
  EXPECT_EQ(nullptr, CreateCompatibleBitmap(nullptr, 0, 2));
  DeleteObject(ddb);
}

TEST(GdiBitmap, RefusesBadHeaders) {
  BITMAPINFO info{};
  info.bmiHeader = {40, 0, 2, 1, 8, BI_RGB, 0, 0, 0, 0, 0};
  EXPECT_EQ(nullptr, CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0));
  info.bmiHeader.biWidth = 4;
  info.bmiHeader.biBitCount = 7;
  EXPECT_EQ(nullptr, CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0));
  info.bmiHeader = {40, 70000, 70000, 1, 32, BI_RGB, 0, 0, 0, 0, 0};  // over 4 GiB of pixels
  EXPECT_EQ(nullptr, CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0));
}

TEST(HalftonePalette, CubeMapPointsAtItsColours) {
  const auto& palette = HalftonePalette();
  const auto& map = HalftoneCubeMap();
  int cubeEntries = 0;
  for (int cube = 0; cube < 216; ++cube) {
    const int r = cube % 6 * 51, g = cube / 6 % 6 * 51, b = cube / 36 * 51;
    const RGBQUAD e = palette[map[cube]];
    const bool nearPure = (r == 51 && g == 255 && b == 0) || (r == 0 && g == 255 && b == 51) ||
                          (r == 51 && g == 0 && b == 255) || (r == 0 && g == 51 && b == 255);
    if (nearPure) continue;
    EXPECT_EQ(r, e.rgbRed) << cube;
    EXPECT_EQ(g, e.rgbGreen) << cube;
    EXPECT_EQ(b, e.rgbBlue) << cube;
    if (map[cube] >= 29 && map[cube] <= 232) ++cubeEntries;
  }
  EXPECT_EQ(204, cubeEntries);
  EXPECT_EQ(250, HalftoneIndex(51, 255, 0));
  EXPECT_EQ(252, HalftoneIndex(0, 51, 255));
  EXPECT_EQ(255, HalftoneIndex(240, 240, 240));
  EXPECT_EQ(0, HalftoneIndex(20, 20, 20));
  EXPECT_EQ(241, palette[244].rgbRed);  // the static greys near the top
  EXPECT_EQ(166, palette[9].rgbRed);
}
