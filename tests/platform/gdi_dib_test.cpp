// GetDIBits and StretchDIBits: layouts, colour matching, stretching and clipping.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/gdi.h"

namespace {

constexpr RGBQUAD Quad(BYTE r, BYTE g, BYTE b) {
  return RGBQUAD{b, g, r, 0};
}

// A device-independent bitmap in memory: header, a colour table of 256 entries, pixel rows.
struct Dib {
  Dib(int width, int height, int bits, std::vector<RGBQUAD> colors = {}) {
    block.resize(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    BITMAPINFOHEADER& h = info()->bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = WORD(bits);
    h.biClrUsed = DWORD(colors.size());
    std::copy(colors.begin(), colors.end(), table());
    lineSize = std::size_t((width * bits + 31) / 32 * 4);
    pixels.assign(lineSize * std::size_t(height < 0 ? -height : height), 0);
  }
  BITMAPINFO* info() { return reinterpret_cast<BITMAPINFO*>(block.data()); }
  RGBQUAD* table() { return reinterpret_cast<RGBQUAD*>(block.data() + sizeof(BITMAPINFOHEADER)); }
  // Row y of the picture, 0 the top, for a bottom-up DIB.
  BYTE* Row(int y) {
    const int h = info()->bmiHeader.biHeight;
    return pixels.data() + lineSize * std::size_t(h < 0 ? y : h - 1 - y);
  }
  HBITMAP Section() {
    void* bits = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, info(), DIB_RGB_COLORS, &bits, nullptr, 0);
    std::memcpy(bits, pixels.data(), pixels.size());
    return b;
  }

  std::vector<BYTE> block;
  std::vector<BYTE> pixels;
  std::size_t lineSize = 0;
};

// A memory context with a bitmap selected; both deleted at the end.
struct Target {
  explicit Target(HBITMAP b) : bitmap(b), dc(CreateCompatibleDC(nullptr)) { SelectObject(dc, b); }
  ~Target() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  // Row y of the picture, 0 the top.
  BYTE* Row(int y) const {
    const bool topDown = !bitmap->isSection || bitmap->header.biHeight < 0;
    return bitmap->bits +
           bitmap->lineSize * std::size_t(topDown ? y : bitmap->header.biHeight - 1 - y);
  }
  HBITMAP bitmap;
  HDC dc;
};

HPALETTE PaletteOf(const std::vector<RGBQUAD>& colors) {
  std::vector<BYTE> block(sizeof(LOGPALETTE) + colors.size() * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(block.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = WORD(colors.size());
  PALETTEENTRY* e = lp->palPalEntry;
  for (std::size_t i = 0; i < colors.size(); ++i) {
    e[i] = {colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue, 0};
  }
  return CreatePalette(lp);
}

void Put24(BYTE* row, int x, BYTE r, BYTE g, BYTE b) {
  row[3 * x] = b;
  row[3 * x + 1] = g;
  row[3 * x + 2] = r;
}

const std::vector<RGBQUAD> kFour = {Quad(0, 0, 0), Quad(255, 0, 0), Quad(0, 0, 255),
                                    Quad(250, 250, 250)};

TEST(GetDIBits, SectionOfTheSameDepthHandsOverIndicesAndTable) {
  Dib source(5, 3, 8, kFour);
  source.Row(0)[0] = 1;
  source.Row(2)[4] = 3;
  HBITMAP section = source.Section();
  Dib out(5, 3, 8);
  HDC dc = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetDIBits(dc, section, 0, 3, out.pixels.data(), out.info(), DIB_RGB_COLORS), 3);
  EXPECT_EQ(out.pixels, source.pixels);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(std::memcmp(&out.table()[i], &kFour[i], 4), 0);
  DeleteDC(dc);
  DeleteObject(section);
}

TEST(GetDIBits, DeviceBitmapRowsArriveBottomUpInTrueColour) {
  HBITMAP ddb = CreateCompatibleBitmap(nullptr, 3, 2);
  ASSERT_EQ(int(ddb->header.biBitCount), 32);
  BYTE* top = ddb->bits;  // device bitmaps keep their rows top-down
  top[0] = 10, top[1] = 20, top[2] = 30;
  BYTE* bottom = ddb->bits + ddb->lineSize;
  bottom[8] = 1, bottom[9] = 2, bottom[10] = 3;
  Dib out(3, 2, 24);
  EXPECT_EQ(GetDIBits(nullptr, ddb, 0, 2, out.pixels.data(), out.info(), DIB_RGB_COLORS), 2);
  EXPECT_EQ(out.Row(0)[0], 10);
  EXPECT_EQ(out.Row(0)[2], 30);
  EXPECT_EQ(out.Row(1)[6], 1);
  EXPECT_EQ(out.Row(1)[8], 3);
  EXPECT_EQ(out.pixels[0], 0);  // bottom-left pixel stays black
  DeleteObject(ddb);
}

TEST(GetDIBits, LinesCountFromTheBufferOrientation) {
  Dib source(1, 3, 8, kFour);
  for (int y = 0; y < 3; ++y) source.Row(y)[0] = BYTE(y + 1);  // top 1, middle 2, bottom 3
  HBITMAP section = source.Section();
  Dib bottomUp(1, 2, 8);
  ASSERT_EQ(GetDIBits(nullptr, section, 1, 5, bottomUp.pixels.data(), bottomUp.info(), 0), 2);
  EXPECT_EQ(bottomUp.pixels[0], 2);  // line 1 from the bottom, then line 2
  EXPECT_EQ(bottomUp.pixels[4], 1);
  Dib topDown(1, -3, 8);
  ASSERT_EQ(GetDIBits(nullptr, section, 0, 3, topDown.pixels.data(), topDown.info(), 0), 3);
  EXPECT_EQ(topDown.pixels[0], 1);
  EXPECT_EQ(topDown.pixels[8], 3);
  DeleteObject(section);
}

TEST(GetDIBits, PaletteTargetsMatchThroughTheSelectedPalette) {
  Dib source(4, 1, 24);
  Put24(source.Row(0), 0, 250, 10, 10);    // nearest: red
  Put24(source.Row(0), 1, 0, 0, 0);        // black
  Put24(source.Row(0), 2, 240, 240, 240);  // light grey
  Put24(source.Row(0), 3, 9, 9, 200);      // blue
  HBITMAP section = source.Section();
  HDC dc = GetDC(nullptr);
  HPALETTE palette = PaletteOf(kFour);
  HPALETTE old = SelectPalette(dc, palette, TRUE);
  Dib out(4, 1, 8);
  ASSERT_EQ(GetDIBits(dc, section, 0, 1, out.pixels.data(), out.info(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(out.Row(0)[0], 1);
  EXPECT_EQ(out.Row(0)[1], 0);
  EXPECT_EQ(out.Row(0)[2], 3);
  EXPECT_EQ(out.Row(0)[3], 2);
  EXPECT_EQ(out.table()[3].rgbRed, 250);
  EXPECT_EQ(out.table()[4].rgbRed, 0);  // the rest of the table is cleared
  SelectPalette(dc, old, TRUE);
  ReleaseDC(nullptr, dc);
  DeleteObject(palette);
  DeleteObject(section);
}

TEST(GetDIBits, WithoutAPaletteEightBitTargetsGetTheHalftoneTable) {
  Dib source(3, 1, 24);
  Put24(source.Row(0), 0, 240, 20, 10);    // nearest: pure red, 249
  Put24(source.Row(0), 1, 166, 202, 240);  // the fixed entry 9 itself
  Put24(source.Row(0), 2, 130, 5, 0);      // the fixed (128, 0, 0), 1, not the cube's (153, 0, 0)
  HBITMAP section = source.Section();
  Dib out(3, 1, 8);
  ASSERT_EQ(GetDIBits(nullptr, section, 0, 1, out.pixels.data(), out.info(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(out.Row(0)[0], 249);
  EXPECT_EQ(out.Row(0)[1], 9);
  EXPECT_EQ(out.Row(0)[2], 1);
  const struct {
    int index;
    BYTE r, g, b;
  } entries[] = {{1, 128, 0, 0},    {9, 166, 202, 240}, {28, 173, 169, 144}, {44, 255, 102, 0},
                 {233, 165, 0, 33}, {249, 255, 0, 0},   {252, 0, 0, 255},    {255, 255, 255, 255}};
  for (const auto& e : entries) {
    const RGBQUAD& q = out.table()[e.index];
    EXPECT_EQ((std::vector<int>{q.rgbRed, q.rgbGreen, q.rgbBlue}),
              (std::vector<int>{e.r, e.g, e.b}))
        << "entry " << e.index;
  }
  DeleteObject(section);
}

TEST(GetDIBits, OneBitTargetsPackPixelsMostSignificantFirst) {
  Dib source(10, 1, 8, kFour);
  for (int x : {0, 3, 9}) source.Row(0)[x] = 3;  // near white
  HBITMAP section = source.Section();
  Dib out(10, 1, 1);
  ASSERT_EQ(GetDIBits(nullptr, section, 0, 1, out.pixels.data(), out.info(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(out.Row(0)[0], 0x90);
  EXPECT_EQ(out.Row(0)[1], 0x40);
  EXPECT_EQ(out.table()[1].rgbGreen, 255);
  DeleteObject(section);
}

TEST(GetDIBits, SixteenBitSectionsExpandTheirFields) {
  Dib source(2, 1, 16);
  source.Row(0)[0] = 0x1F;  // 5-5-5 blue at full
  source.Row(0)[3] = 0x7C;  // red at full
  HBITMAP section = source.Section();
  Dib out(2, 1, 24);
  ASSERT_EQ(GetDIBits(nullptr, section, 0, 1, out.pixels.data(), out.info(), DIB_RGB_COLORS), 1);
  EXPECT_EQ(out.Row(0)[0], 255);
  EXPECT_EQ(out.Row(0)[2], 0);
  EXPECT_EQ(out.Row(0)[5], 255);
  DeleteObject(section);
}

TEST(GetDIBits, RefusesWhatItCannotDo) {
  Dib source(2, 2, 8, kFour);
  HBITMAP section = source.Section();
  Dib out(2, 2, 8);
  EXPECT_EQ(GetDIBits(nullptr, nullptr, 0, 2, out.pixels.data(), out.info(), 0), 0);
  EXPECT_EQ(GetDIBits(nullptr, section, 0, 2, nullptr, out.info(), 0), 0);
  EXPECT_EQ(GetDIBits(nullptr, section, 2, 1, out.pixels.data(), out.info(), 0), 0);
  out.info()->bmiHeader.biCompression = BI_RLE8;
  EXPECT_EQ(GetDIBits(nullptr, section, 0, 2, out.pixels.data(), out.info(), 0), 0);
  DeleteObject(section);
}

TEST(StretchDIBits, SameTableCopiesIndicesEvenWithRepeatedEntries) {
  const std::vector<RGBQUAD> twice = {Quad(9, 9, 9), Quad(9, 9, 9), Quad(1, 2, 3)};
  Dib source(3, 2, 8, twice);
  source.Row(0)[0] = 1;
  source.Row(1)[2] = 2;
  Target target(Dib(3, 2, 8, twice).Section());
  EXPECT_EQ(StretchDIBits(target.dc, 0, 0, 3, 2, 0, 0, 3, 2, source.pixels.data(), source.info(),
                          DIB_RGB_COLORS, SRCCOPY),
            2);
  EXPECT_EQ(target.Row(0)[0], 1);
  EXPECT_EQ(target.Row(1)[2], 2);
}

TEST(StretchDIBits, OtherTablesGetTheNearestEntry) {
  Dib source(2, 1, 24);
  Put24(source.Row(0), 0, 200, 30, 30);
  Put24(source.Row(0), 1, 255, 255, 255);
  Target target(Dib(2, 1, 4, kFour).Section());
  StretchDIBits(target.dc, 0, 0, 2, 1, 0, 0, 2, 1, source.pixels.data(), source.info(),
                DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(target.Row(0)[0], 0x13);
}

TEST(StretchDIBits, StretchesAndShrinksByTheNearestPixel) {
  Dib source(2, 2, 24);
  Put24(source.Row(0), 0, 1, 1, 1);
  Put24(source.Row(0), 1, 2, 2, 2);
  Put24(source.Row(1), 0, 3, 3, 3);
  Put24(source.Row(1), 1, 4, 4, 4);
  Target big(Dib(4, 4, 24).Section());
  StretchDIBits(big.dc, 0, 0, 4, 4, 0, 0, 2, 2, source.pixels.data(), source.info(), DIB_RGB_COLORS,
                SRCCOPY);
  const int expected[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(big.Row(y)[3 * x], expected[y][x]) << x << "," << y;
  }
  Target small(Dib(1, 1, 32).Section());
  StretchDIBits(small.dc, 0, 0, 1, 1, 0, 0, 2, 2, source.pixels.data(), source.info(),
                DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(small.Row(0)[0], 1);
}

TEST(StretchDIBits, ClipsToTheDestinationAndKeepsNeighbouringBits) {
  Dib source(3, 1, 1, {Quad(0, 0, 0), Quad(255, 255, 255)});
  source.Row(0)[0] = 0xE0;  // three white pixels
  Dib canvas(8, 2, 1, {Quad(0, 0, 0), Quad(255, 255, 255)});
  Target target(canvas.Section());
  target.Row(0)[0] = 0x01;
  EXPECT_EQ(StretchDIBits(target.dc, 6, -1, 3, 2, 0, 0, 3, 1, source.pixels.data(), source.info(),
                          DIB_RGB_COLORS, SRCCOPY),
            1);
  EXPECT_EQ(target.Row(0)[0], 0x03);  // pixels 6 and 7 set, the rest untouched
  EXPECT_EQ(target.Row(1)[0], 0x00);
  EXPECT_EQ(StretchDIBits(target.dc, 100, 100, 3, 1, 0, 0, 3, 1, source.pixels.data(),
                          source.info(), DIB_RGB_COLORS, SRCCOPY),
            0);
}

TEST(StretchDIBits, PaintsDeviceBitmapsTopDown) {
  Dib source(1, 2, 24);
  Put24(source.Row(0), 0, 7, 8, 9);
  Target target(CreateCompatibleBitmap(nullptr, 1, 2));
  StretchDIBits(target.dc, 0, 0, 1, 2, 0, 0, 1, 2, source.pixels.data(), source.info(),
                DIB_RGB_COLORS, SRCCOPY);
  EXPECT_EQ(target.bitmap->bits[2], 7);
  EXPECT_EQ(target.bitmap->bits[target.bitmap->lineSize + 2], 0);
}

TEST(StretchDIBits, RefusesOtherOperationsAndContexts) {
  Dib source(1, 1, 24);
  Target target(Dib(1, 1, 24).Section());
  const void* bits = source.pixels.data();
  EXPECT_EQ(StretchDIBits(target.dc, 0, 0, 1, 1, 0, 0, 1, 1, bits, source.info(), 0, 0x00EE0086),
            0);
  EXPECT_EQ(StretchDIBits(target.dc, 0, 0, 0, 1, 0, 0, 1, 1, bits, source.info(), 0, SRCCOPY), 0);
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(StretchDIBits(screen, 0, 0, 1, 1, 0, 0, 1, 1, bits, source.info(), 0, SRCCOPY), 0);
  ReleaseDC(nullptr, screen);
}

}  // namespace
