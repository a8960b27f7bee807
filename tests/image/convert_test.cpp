// Bit-count conversion of a pixel store across every pair of supported bit counts.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <vector>

#include "dib_test_util.h"
#include "image/internal_dib.h"

namespace {

constexpr int kWidth = 13;  // more than one byte of 1- and 4-bit pixels, and a padded row
constexpr int kHeight = 3;

struct Rgb {
  BYTE r, g, b;
};

// The colours of the sources, red, green and blue all different so that a channel read for
// another shows. What each becomes by the conversion rules: its white flag (77 r + 150 g +
// 29 b >= 32640), the nearest of the sixteen colours and the halftone entry of its cube colour.
// The cube colours fill entries 29-232 in cube order (red fastest); black (cube 0) and pure red
// (cube 5) come before (255, 102, 0) at cube 17, so that is entry 29 + 17 - 2. 25 and 230 sit
// on the edges of cube levels 0 and 5.
constexpr Rgb kColours[4] = {
    {250, 120, 20},  // 37830 white; 8 (255, 153, 17); (255, 102, 0), entry 44
    {240, 20, 10},   // 21770 black; 5 (221, 0, 0); pure red, 249
    {25, 230, 250},  // 43675 white; 4 (0, 187, 255); pure cyan, 254
    {60, 235, 15},   // 40305 white; 2 (0, 255, 0); (51, 255, 0), which shares pure green's 250
};

// The sixteen colours conversions to 4 bits use, written out (red, green, blue, in index
// order) so that the code's own table is checked, not compared with itself.
constexpr BYTE kSixteenColours[16][3] = {
    {0, 85, 85},     {0, 153, 0},   {0, 255, 0},    {0, 0, 187},    {0, 187, 255}, {221, 0, 0},
    {255, 102, 102}, {170, 34, 34}, {255, 153, 17}, {255, 187, 85}, {255, 238, 0}, {153, 136, 136},
    {204, 187, 187}, {0, 102, 255}, {0, 0, 0},      {255, 255, 255}};

// Entries of the halftone table: fixed ones at both ends and the cube entries used above.
constexpr struct {
  int index;
  Rgb colour;
} kHalftoneEntries[] = {{0, {0, 0, 0}},      {9, {166, 202, 240}}, {28, {173, 169, 144}},
                        {44, {255, 102, 0}}, {233, {165, 0, 33}},  {249, {255, 0, 0}},
                        {250, {0, 255, 0}},  {254, {0, 255, 255}}, {255, {255, 255, 255}}};

// 1-bit sources hold the first two colours, the others all four; pixel (x, y) has colour
// (x + 2 y) modulo that count.
int ColourCount(int bits) {
  return bits == 1 ? 2 : 4;
}

int ColourAt(int bits, int x, int y) {
  return (x + 2 * y) % ColourCount(bits);
}

// A 24-bit pixel as GetPixel gives it: blue in the low byte, red in the third.
constexpr DWORD Word(Rgb c) {
  return DWORD(c.r) << 16 | DWORD(c.g) << 8 | c.b;
}

// A store of the given bit count painted with kColours; palette sources hold them as their
// first entries, 4-bit ones padded with black to sixteen.
void Fill(TVynCustomInternalDIB& store, int bits) {
  if (bits <= 8) {
    std::vector<RGBQUAD> palette(std::size_t(bits == 4 ? 16 : ColourCount(bits)), {0, 0, 0, 0});
    for (int i = 0; i < ColourCount(bits); ++i)
      palette[std::size_t(i)] = RGBQUAD{kColours[i].b, kColours[i].g, kColours[i].r, 0};
    store.CreateImage(kWidth, kHeight, false, palette.data(), int(palette.size()), bits);
  } else {
    store.CreateImage(kWidth, kHeight, false, nullptr, 0, bits);
  }
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int k = ColourAt(bits, x, y);
      store.SetPixel(x, y,
                     bits <= 8 ? DWORD(k) : Word(kColours[k]) | (bits == 32 ? 0x7F000000u : 0));
    }
  }
}

void ExpectEntry(const RGBQUAD& e, Rgb want, int index) {
  EXPECT_EQ((std::vector<int>{e.rgbRed, e.rgbGreen, e.rgbBlue}),
            (std::vector<int>{want.r, want.g, want.b}))
      << "entry " << index;
}

// The palette a converted store ends with.
enum class Table { Source, BlackWhite, Sixteen, Halftone, None };

struct Pair {
  int from;
  int to;
  int lineSize;  // bytes of a stored row of 13 pixels
  int paletteCount;
  Table table;
  int alphaMode;
  std::vector<DWORD> pixels;  // GetPixel of each source colour after the conversion

  friend void PrintTo(const Pair& p, std::ostream* os) { *os << p.from << " to " << p.to; }
};

constexpr DWORD kOpaque = 0xFF000000;

// One conversion a line.
// clang-format off
const Pair kPairs[] = {
    {1, 4, 8, 16, Table::Source, kAlphaModeNone, {0, 1}},
    {1, 8, 16, 2, Table::Source, kAlphaModeNone, {0, 1}},
    {1, 24, 40, 2, Table::Source, kAlphaModeNone, {0xFA7814, 0xF0140A}},
    {1, 32, 52, 2, Table::Source, kAlphaModeNone, {kOpaque | 0xFA7814, kOpaque | 0xF0140A}},
    {4, 1, 4, 2, Table::BlackWhite, kAlphaModeNone, {1, 0, 1, 1}},
    {4, 8, 16, 16, Table::Source, kAlphaModeNone, {0, 1, 2, 3}},
    {4, 24, 40, 16, Table::Source, kAlphaModeNone, {0xFA7814, 0xF0140A, 0x19E6FA, 0x3CEB0F}},
    {4, 32, 52, 16, Table::Source, kAlphaModeNone, {kOpaque | 0xFA7814, kOpaque | 0xF0140A, kOpaque | 0x19E6FA, kOpaque | 0x3CEB0F}},
    {8, 1, 4, 2, Table::BlackWhite, kAlphaModeNone, {1, 0, 1, 1}},
    {8, 4, 8, 16, Table::Sixteen, kAlphaModeNone, {8, 5, 4, 2}},
    {8, 24, 40, 4, Table::Source, kAlphaModeNone, {0xFA7814, 0xF0140A, 0x19E6FA, 0x3CEB0F}},
    {8, 32, 52, 4, Table::Source, kAlphaModeNone, {kOpaque | 0xFA7814, kOpaque | 0xF0140A, kOpaque | 0x19E6FA, kOpaque | 0x3CEB0F}},
    {24, 1, 4, 2, Table::BlackWhite, kAlphaModeNone, {1, 0, 1, 1}},
    {24, 4, 8, 16, Table::Sixteen, kAlphaModeNone, {8, 5, 4, 2}},
    {24, 8, 16, 256, Table::Halftone, kAlphaModeNone, {44, 249, 254, 250}},
    {24, 32, 52, 0, Table::None, kAlphaModePixel, {kOpaque | 0xFA7814, kOpaque | 0xF0140A, kOpaque | 0x19E6FA, kOpaque | 0x3CEB0F}},
    {32, 1, 4, 2, Table::BlackWhite, kAlphaModeNone, {1, 0, 1, 1}},
    {32, 4, 8, 16, Table::Sixteen, kAlphaModeNone, {8, 5, 4, 2}},
    {32, 8, 16, 256, Table::Halftone, kAlphaModeNone, {44, 249, 254, 250}},
    {32, 24, 40, 0, Table::None, kAlphaModeNone, {0xFA7814, 0xF0140A, 0x19E6FA, 0x3CEB0F}},
};
// clang-format on

class ConvertPairTest : public ::testing::TestWithParam<Pair> {};

TEST_P(ConvertPairTest, GivesThePixelsPaletteAndAlphaOfTheRule) {
  const Pair& c = GetParam();
  TVynCustomInternalDIB store;
  Fill(store, c.from);
  store.ConvertImage(c.to);

  ASSERT_EQ(store.BitCount(), c.to);
  EXPECT_EQ(store.InfoHeader()->biBitCount, c.to);
  ASSERT_EQ(store.Width(), kWidth);
  ASSERT_EQ(store.Height(), kHeight);
  EXPECT_EQ(store.LineSize(), c.lineSize);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      EXPECT_EQ(store.GetPixel(x, y), c.pixels[std::size_t(ColourAt(c.from, x, y))])
          << "pixel " << x << "," << y;
    }
  }

  EXPECT_EQ(store.PaletteCount(), c.paletteCount);
  EXPECT_EQ(store.InfoHeader()->biClrUsed, DWORD(c.paletteCount));
  EXPECT_EQ(store.GetAlphaMode(), c.alphaMode);
  const RGBQUAD* palette = store.Palette();
  switch (c.table) {
    case Table::Source:
      for (int i = 0; i < ColourCount(c.from); ++i) ExpectEntry(palette[i], kColours[i], i);
      break;
    case Table::BlackWhite:
      ExpectEntry(palette[0], {0, 0, 0}, 0);
      ExpectEntry(palette[1], {255, 255, 255}, 1);
      break;
    case Table::Sixteen:
      for (int i = 0; i < 16; ++i)
        ExpectEntry(palette[i],
                    {kSixteenColours[i][0], kSixteenColours[i][1], kSixteenColours[i][2]}, i);
      break;
    case Table::Halftone:
      for (const auto& e : kHalftoneEntries) ExpectEntry(palette[e.index], e.colour, e.index);
      break;
    case Table::None:
      break;
  }
}

INSTANTIATE_TEST_SUITE_P(AllBitCounts, ConvertPairTest, ::testing::ValuesIn(kPairs),
                         [](const auto& info) {
                           return std::to_string(info.param.from) + "to" +
                                  std::to_string(info.param.to);
                         });

TEST(ConvertImageTest, UnsupportedTargetsRaiseAndLeaveTheImage) {
  TVynCustomInternalDIB store;
  Fill(store, 8);
  const BYTE* bits = store.Desc().Bits;
  for (int target : {0, 2, 15, 16, 33, -1}) {
    ExpectDIBError([&] { store.ConvertImage(target); }, "ConvertImage: not support bitcount");
  }
  EXPECT_EQ(store.BitCount(), 8);
  EXPECT_EQ(store.Desc().Bits, bits);
}

TEST(ConvertImageTest, SameBitCountLeavesEverythingAlone) {
  TVynCustomInternalDIB store;
  Fill(store, 8);
  store.SetTransColor(RGB(242, 242, 242));
  store.SetBGColor(RGB(58, 236, 17));  // nearest: entry 3, (60, 235, 15)
  const TVynDIBDesc before = store.Desc();
  store.ConvertImage(8);
  EXPECT_EQ(std::memcmp(&store.Desc(), &before, sizeof before), 0);
  EXPECT_EQ(store.TransColor(), RGB(242, 242, 242));
  EXPECT_EQ(store.BGIndex(), 3);
}

TEST(ConvertImageTest, TrueColourToEightBitsUsesTheCube) {
  TVynCustomInternalDIB store;
  store.CreateImage(3, 1, false, nullptr, 0, 24);
  store.SetPixelColor(0, 0, RGB(240, 240, 240));
  store.SetPixelColor(1, 0, RGB(20, 20, 20));
  store.SetPixelColor(2, 0, RGB(51, 255, 0));  // shares the entry of pure green
  store.ConvertImage(8);
  EXPECT_EQ(store.GetPaletteColor(int(store.GetPixel(0, 0))), RGB(255, 255, 255));
  EXPECT_EQ(store.GetPixel(1, 0), 0u);
  EXPECT_EQ(store.GetPaletteColor(int(store.GetPixel(2, 0))), RGB(0, 255, 0));
}

TEST(ConvertImageTest, WhiteFlagThresholdIsHalfBrightness) {
  // 77 r + 150 g + 29 b against 32640: (0, 217, 4) reaches it, (0, 217, 3) does not.
  TVynCustomInternalDIB store;
  store.CreateImage(2, 1, false, nullptr, 0, 24);
  store.SetPixelColor(0, 0, RGB(0, 217, 4));
  store.SetPixelColor(1, 0, RGB(0, 217, 3));
  store.ConvertImage(1);
  EXPECT_EQ(store.GetPixel(0, 0), 1u);
  EXPECT_EQ(store.GetPixel(1, 0), 0u);
}

TEST(ConvertImageTest, ColourKeysAndResolutionTravel) {
  TVynCustomInternalDIB store;
  Fill(store, 8);
  store.SetTransColor(RGB(242, 242, 242));
  store.SetBGColor(RGB(10, 20, 30));
  store.Desc().Gamma = 45455;
  store.Desc().UnitSpecifier = 1;
  store.Desc().WidthSpecific = 3779;
  store.Desc().HeightSpecific = 2834;
  store.ConvertImage(24);
  EXPECT_EQ(store.TransColor(), RGB(242, 242, 242));
  EXPECT_EQ(store.TransIndex(), -1);
  EXPECT_EQ(store.BGColor(), RGB(10, 20, 30));
  EXPECT_EQ(store.Desc().Gamma, 45455u);
  EXPECT_EQ(store.Desc().UnitSpecifier, 1);
  EXPECT_EQ(store.Desc().WidthSpecific, 3779);
  EXPECT_EQ(store.InfoHeader()->biYPelsPerMeter, 2834);
}

// A palette image whose alpha table has one transparent entry: attach turns it into a
// transparent index.
void FillWithTransparentEntry(TVynCustomInternalDIB& store, int bits) {
  Fill(store, bits);
  TVynDIBDesc desc{};
  store.AllocImage(desc, kWidth, false, store.Palette(), store.PaletteCount(), bits, kHeight);
  std::memcpy(desc.Bits, store.Desc().Bits, std::size_t(desc.LineSize) * kHeight);
  AlphaTable(desc)[2] = 0;
  desc.KeyFlags = DWORD(kAlphaModeTable) << kAlphaModeShift;
  desc.AlphaCount = desc.PaletteCount;
  store.AttachImage(desc);
}

TEST(ConvertImageTest, IndexKeyBecomesItsColourWhenThePaletteIsReplaced) {
  TVynCustomInternalDIB store;
  FillWithTransparentEntry(store, 8);
  ASSERT_EQ(TransMode(store.Desc()), kKeyModeIndex);
  ASSERT_EQ(store.TransIndex(), 2);
  store.ConvertImage(4);  // entry 2, (25, 230, 250), is nearest to entry 4 of the sixteen
  EXPECT_EQ(TransMode(store.Desc()), kKeyModeColor);
  EXPECT_EQ(store.TransColor(), RGB(25, 230, 250));
  EXPECT_EQ(store.TransIndex(), 4);
}

TEST(ConvertImageTest, IndexKeyStaysWhenThePaletteIsKept) {
  TVynCustomInternalDIB store;
  FillWithTransparentEntry(store, 4);
  store.ConvertImage(8);
  EXPECT_EQ(TransMode(store.Desc()), kKeyModeIndex);
  EXPECT_EQ(store.TransIndex(), 2);
  EXPECT_EQ(store.TransColor(), RGB(25, 230, 250));
}

TEST(ConvertImageTest, AlphaTableBecomesPixelAlphaAtThirtyTwoBits) {
  TVynCustomInternalDIB store;
  Fill(store, 8);
  TVynDIBDesc& d = store.Desc();
  // Two partly transparent entries keep the alpha table (no reduction to a key).
  AlphaTable(d)[1] = 128;
  AlphaTable(d)[2] = 0;
  d.KeyFlags = DWORD(kAlphaModeTable) << kAlphaModeShift;
  d.AlphaCount = 4;
  store.ConvertImage(32);
  EXPECT_EQ(store.GetAlphaMode(), kAlphaModePixel);
  EXPECT_EQ(store.GetPixel(0, 0) >> 24, 255u);
  EXPECT_EQ(store.GetPixel(1, 0) >> 24, 128u);
  EXPECT_EQ(store.GetPixel(2, 0) >> 24, 0u);
}

TEST(ConvertImageTest, WideningKeepsTheAlphaTable) {
  TVynCustomInternalDIB store;
  Fill(store, 4);
  TVynDIBDesc& d = store.Desc();
  AlphaTable(d)[1] = 128;
  AlphaTable(d)[3] = 64;
  d.KeyFlags = DWORD(kAlphaModeTable) << kAlphaModeShift;
  d.AlphaCount = 16;
  store.ConvertImage(8);
  EXPECT_EQ(store.GetAlphaMode(), kAlphaModeTable);
  EXPECT_EQ(AlphaTable(store.Desc())[1], 128);
  EXPECT_EQ(AlphaTable(store.Desc())[3], 64);
  EXPECT_EQ(store.Desc().AlphaCount, 16);
}

TEST(ConvertImageTest, ThirtyTwoBitAlphaIsDroppedGoingDown) {
  TVynCustomInternalDIB store;
  store.CreateImage(2, 2, true, nullptr, 0, 32);
  ASSERT_EQ(store.GetAlphaMode(), kAlphaModePixel);
  store.ConvertImage(24);
  EXPECT_EQ(store.GetAlphaMode(), kAlphaModeNone);
  EXPECT_EQ(store.Desc().AlphaCount, 0);
}

}  // namespace
