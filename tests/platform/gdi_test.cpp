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

namespace {

struct Rgb {
  BYTE r, g, b;
};

void ExpectEntry(int index, Rgb want) {
  const RGBQUAD& e = HalftonePalette()[std::size_t(index)];
  EXPECT_EQ((std::vector<int>{e.rgbRed, e.rgbGreen, e.rgbBlue}),
            (std::vector<int>{want.r, want.g, want.b}))
      << "entry " << index;
}

// The fixed entries 0-28 and 233-255.
constexpr Rgb kLowEntries[] = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {4, 4, 4},       {8, 8, 8},       {12, 12, 12},    {17, 17, 17},    {22, 22, 22},
    {28, 28, 28},    {34, 34, 34},    {41, 41, 41},    {85, 85, 85},    {77, 77, 77},
    {66, 66, 66},    {57, 57, 57},    {255, 124, 128}, {255, 80, 80},   {214, 0, 147},
    {204, 236, 255}, {239, 214, 198}, {231, 231, 214}, {173, 169, 144}};
constexpr Rgb kHighEntries[] = {{165, 0, 33},    {95, 95, 95},    {119, 119, 119}, {134, 134, 134},
                                {150, 150, 150}, {203, 203, 203}, {178, 178, 178}, {215, 215, 215},
                                {221, 221, 221}, {227, 227, 227}, {234, 234, 234}, {241, 241, 241},
                                {248, 248, 248}, {255, 251, 240}, {160, 160, 164}, {128, 128, 128},
                                {255, 0, 0},     {0, 255, 0},     {255, 255, 0},   {0, 0, 255},
                                {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};

// Colours on the edges of the cube levels (0-25, 26-76, 77-127, 128-178, 179-229, 230-255),
// the entry the map gives each and that entry's colour. The cube colours that are not fixed
// entries fill 29-232 in cube order (red level + 6 green + 36 blue), so cube 10 lands on
// 29 + 10 - 2 past black (cube 0) and red (cube 5); cube 79 also passes green (30), its
// neighbours (51, 255, 0) and (0, 255, 51) (31, 66) and yellow (35).
struct CubeCase {
  Rgb colour;
  int index;
  Rgb entry;
};
constexpr CubeCase kCubeCases[] = {
    {{20, 20, 20}, 0, {0, 0, 0}},
    {{60, 10, 20}, 29, {51, 0, 0}},           // cube 1
    {{229, 26, 0}, 37, {204, 51, 0}},         // cube 10
    {{250, 120, 20}, 44, {255, 102, 0}},      // cube 17
    {{26, 76, 77}, 102, {51, 51, 102}},       // cube 79
    {{128, 178, 179}, 188, {153, 153, 204}},  // cube 165
    {{200, 240, 250}, 232, {204, 255, 255}},  // cube 214, the last
    {{230, 25, 0}, 249, {255, 0, 0}},
    {{40, 240, 5}, 250, {0, 255, 0}},  // (51, 255, 0) and (0, 255, 51) share pure green
    {{5, 240, 40}, 250, {0, 255, 0}},
    {{40, 5, 240}, 252, {0, 0, 255}},  // (51, 0, 255) and (0, 51, 255) share pure blue
    {{5, 40, 240}, 252, {0, 0, 255}},
    {{240, 240, 240}, 255, {255, 255, 255}},
};

}  // namespace

TEST(HalftonePalette, FixedEntriesAtBothEnds) {
  for (int i = 0; i < 29; ++i) ExpectEntry(i, kLowEntries[i]);
  for (int i = 233; i < 256; ++i) ExpectEntry(i, kHighEntries[i - 233]);
}

TEST(HalftonePalette, CubeMapRoundsEachChannelToItsLevel) {
  for (const CubeCase& c : kCubeCases) {
    const int index = HalftoneIndex(c.colour.r, c.colour.g, c.colour.b);
    EXPECT_EQ(index, c.index) << int(c.colour.r) << "," << int(c.colour.g) << ","
                              << int(c.colour.b);
    ExpectEntry(index, c.entry);
  }
}

TEST(HalftonePalette, CubeMapSelectsEveryCubeEntryOnce) {
  std::vector<int> uses(256, 0);
  for (BYTE index : HalftoneCubeMap()) ++uses[index];
  for (int i = 1; i < 249; ++i) EXPECT_EQ(uses[std::size_t(i)], i >= 29 && i <= 232 ? 1 : 0) << i;
}
