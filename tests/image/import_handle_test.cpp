// InportBitmap from GDI bitmap handles, and the DIB section over the store's own pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "dib_test_util.h"
#include "platform/gdi.h"

namespace {

// A DIB section of the given layout; pixels zero.
HBITMAP MakeSection(int width, int height, int bits, const std::vector<RGBQUAD>& colors = {},
                    LONG xPels = 0, LONG yPels = 0) {
  std::vector<BYTE> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
  auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
  BITMAPINFOHEADER& h = info->bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = WORD(bits);
  h.biClrUsed = DWORD(colors.size());
  h.biXPelsPerMeter = xPels;
  h.biYPelsPerMeter = yPels;
  std::copy(colors.begin(), colors.end(), info->bmiColors);
  void* pixels = nullptr;
  return CreateDIBSection(nullptr, info, DIB_RGB_COLORS, &pixels, nullptr, 0);
}

TEST(InportBitmapTest, SectionsBringTheirResolutionInMetres) {
  const std::vector<RGBQUAD> colors = MakePalette({RGB(0, 0, 0), RGB(1, 2, 3)});
  HBITMAP section = MakeSection(9, 4, 8, colors, 3779, 2834);
  section->bits[section->lineSize * 3 + 8] = 1;  // top row, last pixel (rows are bottom-up)
  TVynCustomInternalDIB store;
  store.InportBitmap(section, nullptr);
  EXPECT_EQ(store.Width(), 9);
  EXPECT_EQ(store.Height(), 4);
  EXPECT_EQ(store.BitCount(), 8);
  EXPECT_EQ(store.GetPixel(8, 0), 1u);
  EXPECT_EQ(store.GetPaletteColor(1), RGB(1, 2, 3));
  EXPECT_EQ(store.Desc().UnitSpecifier, 1);
  EXPECT_EQ(store.Desc().WidthSpecific, 3779);
  EXPECT_EQ(store.Desc().HeightSpecific, 2834);
  EXPECT_EQ(store.InfoHeader()->biXPelsPerMeter, 3779);
  EXPECT_EQ(store.InfoHeader()->biYPelsPerMeter, 2834);
  DeleteObject(section);
}

TEST(InportBitmapTest, AMissingResolutionGivesNoUnit) {
  HBITMAP section = MakeSection(2, 2, 24, {}, 3779, 0);
  TVynCustomInternalDIB store;
  store.InportBitmap(section, nullptr);
  EXPECT_EQ(store.Desc().UnitSpecifier, 0);
  EXPECT_EQ(store.Desc().WidthSpecific, 1);
  EXPECT_EQ(store.Desc().HeightSpecific, 1);
  EXPECT_EQ(store.InfoHeader()->biXPelsPerMeter, 0);
  DeleteObject(section);
}

TEST(InportBitmapTest, DeepSectionsAndDeviceBitmapsArriveAsTwentyFourBits) {
  HBITMAP section = MakeSection(2, 1, 32);
  std::memcpy(section->bits + 4, "\x30\x20\x10\x99", 4);
  TVynCustomInternalDIB store;
  store.InportBitmap(section, nullptr);
  EXPECT_EQ(store.BitCount(), 24);
  EXPECT_EQ(store.GetPixelColor(1, 0), RGB(0x10, 0x20, 0x30));
  DeleteObject(section);

  HBITMAP ddb = CreateCompatibleBitmap(nullptr, 3, 2);
  std::memcpy(ddb->bits, "\x03\x02\x01\x00", 4);  // top-left pixel
  store.InportBitmap(ddb, nullptr);
  EXPECT_EQ(store.BitCount(), 24);
  EXPECT_EQ(store.Width(), 3);
  EXPECT_EQ(store.GetPixelColor(0, 0), RGB(1, 2, 3));
  EXPECT_EQ(store.Desc().UnitSpecifier, 0);
  DeleteObject(ddb);
}

TEST(InportBitmapTest, PaletteTargetsMatchThroughTheGivenPalette) {
  HBITMAP section = MakeSection(2, 1, 4, MakePalette({RGB(0, 0, 0), RGB(250, 0, 0)}));
  section->bits[0] = 0x01;
  std::vector<BYTE> block(sizeof(LOGPALETTE) + 2 * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = 2;
  PALETTEENTRY* e = lp->palPalEntry;
  e[0] = {255, 0, 0, 0};
  e[1] = {0, 0, 0, 0};
  HPALETTE palette = CreatePalette(lp);
  TVynCustomInternalDIB store;
  store.InportBitmap(section, palette);
  ASSERT_EQ(store.BitCount(), 4);
  // A section of the same depth hands over its own table, whatever the palette says.
  EXPECT_EQ(store.GetPixelColor(1, 0), RGB(250, 0, 0));
  DeleteObject(palette);
  DeleteObject(section);
}

TEST(InportBitmapTest, ANonBitmapRaisesAndKeepsTheImage) {
  TVynCustomInternalDIB store;
  ExpectDIBError([&] { store.InportBitmap(nullptr, nullptr); },
                 "InportBitmap: BitmapHandle Error!");
  EXPECT_TRUE(store.HasImage());
  EXPECT_EQ(store.Width(), 8);
}

TEST(CreateBMPHandleTest, TheSectionSharesTheStoresPixels) {
  TVynCustomInternalDIB store;
  store.CreateImage(5, 3, false, MakePalette({RGB(0, 0, 0), RGB(9, 8, 7)}).data(), 2, 8);
  HBITMAP section = store.CreateBMPHandle();
  ASSERT_NE(section, nullptr);
  EXPECT_EQ(store.CreateBMPHandle(), section) << "made once";

  DIBSECTION ds{};
  ASSERT_EQ(GetObject(section, sizeof ds, &ds), int(sizeof ds));
  EXPECT_EQ(ds.dshSection, store.Desc().Section);
  EXPECT_EQ(int(ds.dsBmih.biWidth), 5);
  EXPECT_EQ(int(ds.dsBmih.biBitCount), 8);
  ASSERT_EQ(section->colors.size(), 2u);
  EXPECT_EQ(section->colors[1].rgbRed, 9);

  store.SetPixel(4, 0, 1);  // the store's top row is the section's last stored row
  EXPECT_EQ(section->bits[section->lineSize * 2 + 4], 1);
  section->bits[0] = 1;  // bottom-left, written through GDI's side
  EXPECT_EQ(store.GetPixel(0, 2), 1u);
}

}  // namespace
