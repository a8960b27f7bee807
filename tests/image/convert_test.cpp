// Bit-count conversion of a pixel store across every pair of supported bit counts.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dib_test_util.h"
#include "image/color_tables.h"
#include "image/dib_routines.h"
#include "image/internal_dib.h"
#include "platform/row_size.h"

namespace {

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kLight = RGB(240, 240, 240);
constexpr int kWidth = 13;  // more than one byte of 1- and 4-bit pixels, and a padded row
constexpr int kHeight = 3;

// The sixteen colours conversions to 4 bits use, written out (red, green, blue, in index
// order) so that the code's own table is checked, not compared with itself.
constexpr BYTE kSixteenColours[16][3] = {
    {0, 85, 85},     {0, 153, 0},   {0, 255, 0},    {0, 0, 187},    {0, 187, 255}, {221, 0, 0},
    {255, 102, 102}, {170, 34, 34}, {255, 153, 17}, {255, 187, 85}, {255, 238, 0}, {153, 136, 136},
    {204, 187, 187}, {0, 102, 255}, {0, 0, 0},      {255, 255, 255}};

// The colours a source of each bit count is filled with, one per pixel in turn.
std::vector<COLORREF> SourceColors(int bits) {
  if (bits == 1) return {kBlack, kWhite};
  return {kBlack, kWhite, kGreen, kLight};
}

COLORREF ColorAt(const std::vector<COLORREF>& colors, int x, int y) {
  return colors[(x + 2 * y) % colors.size()];
}

// A store of the given bit count painted with SourceColors. Palette sources hold those
// colours as their first entries.
void Fill(TVynCustomInternalDIB& store, int bits) {
  const std::vector<COLORREF> colors = SourceColors(bits);
  std::vector<RGBQUAD> palette = MakePalette(colors);
  if (bits <= 8) {
    const int count = bits == 4 ? 16 : int(palette.size());
    palette.resize(std::size_t(count), RGBQUAD{0, 0, 0, 0});
    store.CreateImage(kWidth, kHeight, false, palette.data(), count, bits);
  } else {
    store.CreateImage(kWidth, kHeight, false, nullptr, 0, bits);
  }
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const COLORREF c = ColorAt(colors, x, y);
      if (bits <= 8) {
        store.SetPixel(x, y, DWORD((x + 2 * y) % colors.size()));
      } else {
        store.SetPixel(x, y, SwapRedBlue(c) | (bits == 32 ? 0x7F000000u : 0));
      }
    }
  }
}

// What a colour becomes at a target whose palette was replaced: black or white at 1 bit,
// the nearest of the 16 at 4 bits, the cube colour at 8 bits.
COLORREF Reduced(int to, COLORREF c) {
  if (c == kGreen) return to == 1 ? kWhite : kGreen;  // green is bright; it is in both tables
  if (c == kLight) return kWhite;  // 240 rounds up to cube level 5; nearest of 16 is white
  return c;
}

bool KeepsColors(int from, int to) {
  return to > from || to > 8;
}

struct Pair {
  int from;
  int to;
};

class ConvertPairTest : public ::testing::TestWithParam<Pair> {};

TEST_P(ConvertPairTest, PixelsTakeTheColourTheRuleGives) {
  const auto [from, to] = GetParam();
  TVynCustomInternalDIB store;
  Fill(store, from);
  store.ConvertImage(to);

  ASSERT_EQ(store.BitCount(), to);
  ASSERT_EQ(store.Width(), kWidth);
  ASSERT_EQ(store.Height(), kHeight);
  EXPECT_EQ(store.LineSize(), int(RequireRowBytes(kWidth, to, kDIBRowAlignment)));
  const std::vector<COLORREF> colors = SourceColors(from);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const COLORREF source = ColorAt(colors, x, y);
      const COLORREF expected = KeepsColors(from, to) ? source : Reduced(to, source);
      const COLORREF got = to <= 8 ? store.GetPaletteColor(int(store.GetPixel(x, y)))
                                   : SwapRedBlue(store.GetPixel(x, y) & 0xFFFFFF);
      EXPECT_EQ(got, expected) << "pixel " << x << "," << y;
      if (to <= 8 && from <= 8 && to > from) {
        EXPECT_EQ(store.GetPixel(x, y), DWORD((x + 2 * y) % colors.size())) << "raw index kept";
      }
      if (to == 32) {
        EXPECT_EQ(store.GetPixel(x, y) >> 24, 0xFFu) << "opaque";
      }
    }
  }
}

TEST_P(ConvertPairTest, PaletteAndAlphaFollowTheTarget) {
  const auto [from, to] = GetParam();
  TVynCustomInternalDIB store;
  Fill(store, from);
  const int before = store.PaletteCount();
  store.ConvertImage(to);

  int expectedCount = before;  // widening keeps the count, as the new store's default allows
  if (!KeepsColors(from, to)) expectedCount = to == 1 ? 2 : to == 4 ? 16 : 256;
  if (KeepsColors(from, to) && to == 4) expectedCount = 16;
  EXPECT_EQ(store.PaletteCount(), expectedCount);
  EXPECT_EQ(store.InfoHeader()->biClrUsed, DWORD(expectedCount));
  EXPECT_EQ(store.InfoHeader()->biBitCount, to);
  EXPECT_EQ(store.GetAlphaMode(), from == 24 && to == 32 ? kAlphaModePixel : kAlphaModeNone);
  if (!KeepsColors(from, to) && to == 8) {
    EXPECT_EQ(std::memcmp(store.Palette(), HalftonePalette().data(), 256 * sizeof(RGBQUAD)), 0);
  }
  if (!KeepsColors(from, to) && to == 4) {
    for (int i = 0; i < 16; ++i) {
      const RGBQUAD& e = store.Palette()[i];
      EXPECT_EQ((std::vector<int>{e.rgbRed, e.rgbGreen, e.rgbBlue, e.rgbReserved}),
                (std::vector<int>{kSixteenColours[i][0], kSixteenColours[i][1],
                                  kSixteenColours[i][2], 0}))
          << "entry " << i;
    }
  }
}

std::vector<Pair> AllPairs() {
  std::vector<Pair> pairs;
  for (int from : {1, 4, 8, 24, 32}) {
    for (int to : {1, 4, 8, 24, 32}) {
      if (from != to) pairs.push_back({from, to});
    }
  }
  return pairs;
}

INSTANTIATE_TEST_SUITE_P(AllBitCounts, ConvertPairTest, ::testing::ValuesIn(AllPairs()),
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
  store.SetBGColor(RGB(0, 250, 0));
  const TVynDIBDesc before = store.Desc();
  store.ConvertImage(8);
  EXPECT_EQ(std::memcmp(&store.Desc(), &before, sizeof before), 0);
  EXPECT_EQ(store.TransColor(), RGB(242, 242, 242));
  EXPECT_EQ(store.BGIndex(), 2);
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
  store.ConvertImage(4);  // entry 2 of the 16-colour palette is pure green as well
  EXPECT_EQ(TransMode(store.Desc()), kKeyModeColor);
  EXPECT_EQ(store.TransColor(), kGreen);
  EXPECT_EQ(store.TransIndex(), 2);
}

TEST(ConvertImageTest, IndexKeyStaysWhenThePaletteIsKept) {
  TVynCustomInternalDIB store;
  FillWithTransparentEntry(store, 4);
  store.ConvertImage(8);
  EXPECT_EQ(TransMode(store.Desc()), kKeyModeIndex);
  EXPECT_EQ(store.TransIndex(), 2);
  EXPECT_EQ(store.TransColor(), kGreen);
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
