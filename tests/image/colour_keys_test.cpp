// Transparent and background colours, nearest palette index and alpha-table reduction.
#include <gtest/gtest.h>

#include "image/dib_test_util.h"

namespace {

constexpr COLORREF kGrey = 15921906;  // 0x00F2F2F2

std::vector<RGBQUAD> GreyRamp() {
  std::vector<RGBQUAD> ramp;
  for (int i = 0; i < 256; ++i) ramp.push_back({BYTE(i), BYTE(i), BYTE(i), 0});
  return ramp;
}

// ---- colour keys --------------------------------------------------------------------------

TEST(ColourKeys, GreyOnAnEightBitImageKeepsColourAndNearestIndex) {
  TVynCustomDIB image;
  Remake(image, 4, 4, 8, GreyRamp());
  image.SetBGColor(kGrey);
  image.SetTransColor(kGrey);
  const TVynCustomInternalDIB& store = *image.Image();
  const TVynDIBDesc& d = store.Desc();
  EXPECT_EQ(TransMode(d), kKeyModeColor);
  EXPECT_EQ(BGMode(d), kKeyModeColor);
  EXPECT_EQ(d.TransValue, 0x00F2F2F2u);
  EXPECT_EQ(d.BGValue, 0x00F2F2F2u);
  EXPECT_EQ(d.Reserved1, 0u);
  EXPECT_EQ(d.Reserved2, 0u);
  EXPECT_EQ(store.TransIndex(), 242);
  EXPECT_EQ(store.BGIndex(), 242);
  EXPECT_EQ(image.GetTransColor(), 0x00F2F2F2u);
  EXPECT_EQ(image.GetBGColor(), 0x00F2F2F2u);
}

TEST(ColourKeys, SettingAKeyDoesNotNotifyChange) {
  TestDIB image;
  image.SetTransColor(kGrey);
  image.SetBGColor(kGrey);
  EXPECT_EQ(image.changes, 0);
}

TEST(ColourKeys, TwentyFourBitImageHasNoKeyIndex) {
  // Even with a colour table beside the pixels, a true-colour key names no entry.
  for (const auto& palette : {std::vector<RGBQUAD>{}, GreyRamp()}) {
    TVynCustomDIB image;
    Remake(image, 4, 4, 24, palette);
    image.SetTransColor(kGrey);
    EXPECT_EQ(image.Image()->TransIndex(), -1);
    EXPECT_EQ(image.GetTransColor(), 0x00F2F2F2u);
  }
}

class NoColourValues : public ::testing::TestWithParam<COLORREF> {};

TEST_P(NoColourValues, ValuesAboveWhiteClearTheKey) {
  TVynCustomDIB image;
  Remake(image, 4, 4, 8, GreyRamp());
  image.SetTransColor(kGrey);
  image.SetBGColor(kGrey);
  image.SetTransColor(GetParam());
  image.SetBGColor(GetParam());
  const TVynDIBDesc& d = image.Image()->Desc();
  EXPECT_EQ(TransMode(d), kKeyModeNone);
  EXPECT_EQ(BGMode(d), kKeyModeNone);
  EXPECT_EQ(d.TransValue, 0u);
  EXPECT_EQ(d.BGValue, 0u);
  EXPECT_EQ(image.GetTransColor(), clNone);
  EXPECT_EQ(image.GetBGColor(), clNone);
  EXPECT_EQ(image.Image()->TransIndex(), -1);
  EXPECT_EQ(image.Image()->BGIndex(), -1);
}

INSTANTIATE_TEST_SUITE_P(ColourKeys, NoColourValues,
                         ::testing::Values(0x01000000u, 0xFFFFFFFFu, clNone));

TEST(ColourKeys, KeysSurviveReattachAndIndexKeysReadThePalette) {
  TVynCustomDIB image;
  Remake(image, 2, 2, 8, MakePalette({0x000000, 0x0000FF, 0x00FF00}));
  TVynCustomInternalDIB& store = *image.Image();
  TVynDIBDesc d{};
  store.AllocImage(d, 2, false, store.Palette(), 3, 8, 2);
  d.KeyFlags = kKeyModeIndex | (kKeyModeIndex << kBGModeShift);
  d.TransValue = 1;
  d.BGValue = 2;
  store.AttachImage(d);
  EXPECT_EQ(store.TransIndex(), 1);
  EXPECT_EQ(store.TransColor(), 0x0000FFu);
  EXPECT_EQ(store.BGIndex(), 2);
  EXPECT_EQ(store.BGColor(), 0x00FF00u);
}

TEST(ColourKeys, IndexKeyOutsideThePaletteMeansNoKey) {
  // A reader may hand over an index its palette does not have; attaching must still succeed.
  TVynCustomDIB image;
  TVynCustomInternalDIB& store = *image.Image();
  const auto palette = MakePalette({0x000000, 0xFFFFFF});
  TVynDIBDesc d{};
  store.AllocImage(d, 2, false, palette.data(), 2, 8, 2);
  d.KeyFlags = kKeyModeIndex | (kKeyModeIndex << kBGModeShift);
  d.TransValue = 7;
  d.BGValue = 0xFFFFFFFF;
  store.AttachImage(d);
  EXPECT_EQ(store.TransIndex(), -1);
  EXPECT_EQ(store.TransColor(), clNone);
  EXPECT_EQ(store.BGIndex(), -1);
  EXPECT_EQ(image.GetBGColor(), clNone);
}

// ---- nearest palette index ----------------------------------------------------------------

struct NearestCase {
  std::vector<COLORREF> palette;
  COLORREF color;
  int expected;
};

class NearestIndex : public ::testing::TestWithParam<NearestCase> {};

TEST_P(NearestIndex, SmallestChannelDistanceLowerIndexOnTie) {
  const NearestCase& c = GetParam();
  const auto palette = MakePalette(c.palette);
  EXPECT_EQ(NearestPaletteIndex(palette.data(), int(palette.size()), c.color), c.expected);

  TVynCustomDIB image;
  Remake(image, 2, 2, 8, palette);
  EXPECT_EQ(image.Image()->GetNearestPaletteIndex(c.color), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Nearest, NearestIndex,
    ::testing::Values(
        // grey 242 at two indices: the lower one
        NearestCase{{0x000000, 0xF2F2F2, 0xFFFFFF, 0xF2F2F2}, kGrey, 1},
        // no exact match: distances 3·13=39 (white) and 2+2+2=6 (0xF0F0F0)
        NearestCase{{0xFFFFFF, 0xF0F0F0, 0x000000}, kGrey, 1},
        // tie between index 1 (distance 2) and index 2 (distance 2): the lower wins
        NearestCase{{0x000000, 0xF0F2F2, 0xF4F2F2}, kGrey, 1},
        // channels compared separately: red 10 away vs. blue 9 away
        NearestCase{{0x00000A, 0x090000}, 0x000000, 1},
        // an exact match ends the search even after a close one
        NearestCase{{0x000001, 0x000000}, 0x000000, 1},
        // single entry
        NearestCase{{0x123456}, 0xFFFFFF, 0}));

TEST(Nearest, NoPaletteGivesMinusOne) {
  EXPECT_EQ(NearestPaletteIndex(nullptr, 5, 0), -1);
  const auto palette = MakePalette({0});
  EXPECT_EQ(NearestPaletteIndex(palette.data(), 0, 0), -1);
  TVynCustomDIB image;
  Remake(image, 2, 2, 32);
  EXPECT_EQ(image.Image()->GetNearestPaletteIndex(0), -1);
}

// ---- alpha-table reduction ----------------------------------------------------------------

struct AlphaCase {
  std::vector<BYTE> alpha;  // first entries of the table; the rest stay 255
  int paletteCount;
  bool reduced;
  int transIndex;
};

class AlphaReduction : public ::testing::TestWithParam<AlphaCase> {};

TEST_P(AlphaReduction, OneTransparentEntryAmongOpaqueBecomesAnIndexKey) {
  const AlphaCase& c = GetParam();
  TVynCustomDIB image;
  TVynCustomInternalDIB& store = *image.Image();
  std::vector<RGBQUAD> palette(256);
  for (int i = 0; i < 256; ++i) palette[i] = {BYTE(i), BYTE(255 - i), 7, 0};
  TVynDIBDesc d{};
  store.AllocImage(d, 3, true, palette.data(), c.paletteCount, 8, 3);
  ASSERT_EQ(AlphaMode(d), kAlphaModeTable);
  for (std::size_t i = 0; i < c.alpha.size(); ++i) AlphaTable(d)[i] = c.alpha[i];
  d.KeyFlags |= kKeyModeColor << kBGModeShift;  // a background key must be kept
  d.BGValue = 0x000007;
  store.AttachImage(d);

  const TVynDIBDesc& a = store.Desc();
  EXPECT_EQ(BGMode(a), kKeyModeColor);
  if (c.reduced) {
    EXPECT_EQ(store.GetAlphaMode(), kAlphaModeNone);
    EXPECT_EQ(TransMode(a), kKeyModeIndex);
    EXPECT_EQ(int(a.TransValue), c.transIndex);
    EXPECT_EQ(store.TransIndex(), c.transIndex);
    EXPECT_EQ(store.TransColor(), RGB(7, BYTE(255 - c.transIndex), BYTE(c.transIndex)));
    EXPECT_FALSE(image.GetAlphaFlag());
  } else {
    EXPECT_EQ(store.GetAlphaMode(), kAlphaModeTable);
    EXPECT_EQ(TransMode(a), kKeyModeNone);
    EXPECT_EQ(store.TransIndex(), -1);
    EXPECT_TRUE(image.GetAlphaFlag());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Alpha, AlphaReduction,
    ::testing::Values(AlphaCase{{255, 0, 255}, 256, true, 1}, AlphaCase{{0}, 4, true, 0},
                      AlphaCase{{255, 255, 255, 0}, 4, true, 3},
                      AlphaCase{{255, 0, 0}, 256, false, -1},    // two transparent entries
                      AlphaCase{{255, 128, 0}, 256, false, -1},  // a partial alpha
                      AlphaCase{{255, 255}, 4, false, -1},       // all opaque
                      // an entry past the palette count does not count
                      AlphaCase{{255, 255, 255, 255, 0}, 4, false, -1}));

TEST(Alpha, NoReductionAboveEightBitsOrWithoutAlphaTable) {
  TVynCustomDIB image;
  TVynCustomInternalDIB& store = *image.Image();
  TVynDIBDesc d{};
  store.AllocImage(d, 2, false, nullptr, 2, 8, 2);
  AlphaTable(d)[0] = 0;  // alpha mode 0: the table is not read
  store.AttachImage(d);
  EXPECT_EQ(TransMode(store.Desc()), kKeyModeNone);

  store.AllocImage(d, 2, false, nullptr, 2, 24, 2);
  d.KeyFlags = DWORD(kAlphaModeTable) << kAlphaModeShift;
  AlphaTable(d)[0] = 0;
  store.AttachImage(d);
  EXPECT_EQ(store.GetAlphaMode(), kAlphaModeTable);
  EXPECT_EQ(TransMode(store.Desc()), kKeyModeNone);
}

TEST(Alpha, SetAlphaModeTouchesOnlyItsBits) {
  TVynCustomInternalDIB store;
  store.SetTransColor(0x123456);
  store.SetBGColor(0x654321);
  const DWORD keys = store.Desc().KeyFlags;
  store.SetAlphaMode(kAlphaModePixel);
  EXPECT_EQ(store.GetAlphaMode(), kAlphaModePixel);
  EXPECT_EQ(store.Desc().KeyFlags & 0x0F, keys & 0x0F);
  store.SetAlphaMode(0xFF);
  EXPECT_EQ(store.GetAlphaMode(), 7);
  EXPECT_EQ(store.Desc().KeyFlags & ~kAlphaModeMask, keys);
  store.SetAlphaMode(0);
  EXPECT_EQ(store.Desc().KeyFlags, keys);
}

}  // namespace
