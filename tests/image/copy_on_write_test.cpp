// Shared stores, copy-on-write, deep copies and resizing.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "image/dib_test_util.h"
#include "platform/exception.h"
#include "platform/stream.h"

namespace {

// A store whose copies can be made to fail, to see that a failed Unshare changes nothing.
class FailingCopyStore : public TVynCustomInternalDIB {
 public:
  void CopyImage(TVynCustomInternalDIB&) override { OutOfMemoryError(); }
};

// An 8-bit 5 × 4 picture with distinct pixels and every attribute set.
void Fill(TestDIB& image) {
  Remake(image, 5, 4, 8, MakePalette({0x000000, 0x0000FF, 0x00FF00, 0xFF0000, 0xF2F2F2}), true);
  TVynCustomInternalDIB& s = *image.Image();
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) s.SetPixel(x, y, DWORD(y * 5 + x) % 5);
  TVynDIBDesc& d = s.Desc();
  d.UnitSpecifier = 2;
  d.WidthSpecific = 72;
  d.HeightSpecific = 96;
  WriteDescResolution(d);
  d.Gamma = 45455;
  AlphaTable(d)[2] = 128;
  EntryFlags(d)[3] = 1;
  s.SetBGColor(0x0000FF);
  s.SetTransColor(0xF2F2F2);
}

struct Mutation {
  const char* name;
  std::function<void(TestDIB&)> change;
};

class CopyOnWrite : public ::testing::TestWithParam<Mutation> {};

TEST_P(CopyOnWrite, ChangingOneOfTwoSharersLeavesTheOtherAlone) {
  TestDIB original;
  Fill(original);
  TestDIB sharer;
  sharer.ShareWith(original);
  TVynCustomInternalDIB* shared = original.Image();
  ASSERT_EQ(sharer.Image(), shared);
  ASSERT_EQ(shared->RefCount(), 2);
  sharer.SetPaletteModified(false);

  GetParam().change(sharer);

  EXPECT_NE(sharer.Image(), shared);
  EXPECT_EQ(original.Image(), shared);
  EXPECT_EQ(shared->RefCount(), 1);
  EXPECT_EQ(sharer.Image()->RefCount(), 1);
  EXPECT_TRUE(sharer.PaletteModified()) << "a new store counts as a palette change";
  // The original still reads as filled.
  EXPECT_EQ(original.GetWidth(), 5);
  EXPECT_EQ(original.GetHeight(), 4);
  EXPECT_EQ(shared->GetPixel(4, 3), DWORD(19 % 5));
  EXPECT_EQ(original.GetTransColor(), 0xF2F2F2u);
  EXPECT_EQ(original.GetBGColor(), 0x0000FFu);
  EXPECT_EQ(shared->PaletteCount(), 5);
}

INSTANTIATE_TEST_SUITE_P(
    Sharing, CopyOnWrite,
    ::testing::Values(Mutation{"SetWidth", [](TestDIB& i) { i.SetWidth(9); }},
                      Mutation{"SetHeight", [](TestDIB& i) { i.SetHeight(2); }},
                      Mutation{"SetTransColor", [](TestDIB& i) { i.SetTransColor(clNone); }},
                      Mutation{"SetBGColor", [](TestDIB& i) { i.SetBGColor(0x123456); }},
                      Mutation{"SetPalette", [](TestDIB& i) { i.SetPalette(nullptr); }},
                      Mutation{"FreeDCHandle", [](TestDIB& i) { i.FreeDCHandle(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Sharing, UnsharedCopyIsExact) {
  TestDIB original;
  Fill(original);
  TestDIB copy;
  copy.ShareWith(original);
  copy.FreeDCHandle();  // unshares without changing anything
  const TVynDIBDesc& a = original.Image()->Desc();
  const TVynDIBDesc& b = copy.Image()->Desc();
  ASSERT_NE(a.Bits, b.Bits);
  EXPECT_EQ(b.Width, a.Width);
  EXPECT_EQ(b.Height, a.Height);
  EXPECT_EQ(b.BitCount, a.BitCount);
  EXPECT_EQ(b.PaletteCount, a.PaletteCount);
  EXPECT_EQ(b.LineSize, a.LineSize);
  EXPECT_EQ(0, std::memcmp(b.Bits, a.Bits, std::size_t(a.LineSize) * a.Height));
  EXPECT_EQ(0, std::memcmp(b.Tables, a.Tables, 512 + 40 + 1024)) << "tables, header, palette";
  EXPECT_EQ(b.UnitSpecifier, 2);
  EXPECT_EQ(b.WidthSpecific, 72);
  EXPECT_EQ(b.InfoHeader->biXPelsPerMeter, 2834);
  EXPECT_EQ(b.InfoHeader->biYPelsPerMeter, 3779);
  EXPECT_EQ(b.Gamma, 45455u);
  EXPECT_EQ(b.KeyFlags, a.KeyFlags);
  EXPECT_EQ(b.TransValue, a.TransValue);
  EXPECT_EQ(b.BGValue, a.BGValue);
  EXPECT_EQ(b.AlphaCount, a.AlphaCount);
  EXPECT_EQ(copy.Image()->TransIndex(), original.Image()->TransIndex());
  EXPECT_EQ(copy.Image()->BGIndex(), 1);
}

TEST(Sharing, CopyKeepsAnUnusualPaletteCount) {
  // A one-entry palette on an 8-bit image and a 256-entry one on a 1-bit image would take
  // the default counts if a copy re-applied the allocation rules.
  for (int bits : {8, 1}) {
    TestDIB original;
    Remake(original, 3, 3, bits);
    GdiPalette one;
    one.entries = bits == 8 ? std::vector<PALETTEENTRY>{{9, 8, 7, 0}}
                            : std::vector<PALETTEENTRY>(256, PALETTEENTRY{1, 1, 1, 0});
    original.SetPalette(CopyPalette(&one));
    TestDIB copy;
    copy.ShareWith(original);
    copy.FreeDCHandle();
    EXPECT_EQ(copy.Image()->PaletteCount(), original.Image()->PaletteCount()) << bits;
    EXPECT_EQ(copy.Image()->InfoHeader()->biClrUsed, DWORD(original.Image()->PaletteCount()));
  }
}

TEST(Sharing, LastReferenceFreesTheStoreOnce) {
  auto* a = new TestDIB;
  TestDIB b;
  b.ShareWith(*a);
  TVynCustomInternalDIB* store = b.Image();
  delete a;
  EXPECT_EQ(store->RefCount(), 1);
  EXPECT_EQ(b.GetWidth(), 8);
  b.ShareWith(b);  // sharing with itself changes nothing
  EXPECT_EQ(store->RefCount(), 1);
}

TEST(Sharing, ReplaceImageInstallsANewStore) {
  TestDIB image;
  image.SetPaletteModified(false);
  RefPtr<TVynCustomInternalDIB> store = MakeRef<TVynCustomInternalDIB>();
  store->CreateImage(3, 7, false, nullptr, 0, 24);
  image.Replace(store);
  EXPECT_EQ(image.Image(), store.get());
  EXPECT_EQ(store->RefCount(), 2);
  EXPECT_EQ(image.GetHeight(), 7);
  EXPECT_TRUE(image.PaletteModified());
}

TEST(Sharing, LoadingIntoASharerLeavesTheOtherItsStore) {
  TestDIB original;
  Fill(original);
  TestDIB small;
  Remake(small, 2, 3, 24);
  small.Image()->SetPixel(1, 2, 0x0A0B0C);
  TMemoryStream file;
  small.SaveToStream(file);
  file.SetPosition(0);

  TestDIB sharer;
  sharer.ShareWith(original);
  TVynCustomInternalDIB* shared = original.Image();
  sharer.LoadFromStream(file);
  EXPECT_NE(sharer.Image(), shared);
  EXPECT_EQ(sharer.Image()->RefCount(), 1);
  EXPECT_EQ(sharer.GetWidth(), 2);
  EXPECT_EQ(sharer.Image()->GetPixel(1, 2), 0x0A0B0Cu);
  EXPECT_EQ(shared->RefCount(), 1);
  EXPECT_EQ(original.GetWidth(), 5);
  EXPECT_EQ(shared->GetPixel(4, 3), DWORD(19 % 5));
}

TEST(Sharing, FailedCopyKeepsTheSharedStore) {
  TestDIB original;
  original.Replace(MakeRef<FailingCopyStore>());
  TestDIB sharer;
  sharer.ShareWith(original);
  TVynCustomInternalDIB* shared = original.Image();
  EXPECT_THROW(sharer.SetTransColor(0x123456), EOutOfMemory);
  EXPECT_EQ(sharer.Image(), shared);
  EXPECT_EQ(shared->RefCount(), 2);
  EXPECT_EQ(sharer.GetTransColor(), clNone);
}

TEST(Sharing, CopyFileInfoCopiesTheWholeBlock) {
  TVynCustomDIB from, to;
  from.FInfoOffsetX = 1;
  from.FInfoOffsetY = -2;
  from.FInfoPrefixed = true;
  from.FInfoFormat = 13;
  from.FInfoInterlace = 1;
  from.FInfoWidth = 310;
  from.FInfoHeight = 180;
  from.FInfoColorBits = 8;
  from.FInfoGrayscale = 1;
  from.FInfoText = AnsiString("Title\x82\xa0");
  from.CopyFileInfo(to);
  EXPECT_EQ(to.FInfoOffsetX, 1);
  EXPECT_EQ(to.FInfoOffsetY, -2);
  EXPECT_TRUE(to.FInfoPrefixed);
  EXPECT_EQ(to.FInfoFormat, 13);
  EXPECT_EQ(to.FInfoInterlace, 1);
  EXPECT_EQ(to.FInfoWidth, 310);
  EXPECT_EQ(to.FInfoHeight, 180);
  EXPECT_EQ(to.FInfoColorBits, 8);
  EXPECT_EQ(to.FInfoGrayscale, 1);
  EXPECT_EQ(to.FInfoText, from.FInfoText);
}

// ---- resize -------------------------------------------------------------------------------

struct ResizeCase {
  int bitCount;
  int width, height;
  int newWidth, newHeight;
};

class Resize : public ::testing::TestWithParam<ResizeCase> {};

// A pixel value that differs between neighbours and fits the bit count.
DWORD Pattern(int x, int y, int bitCount) {
  const DWORD v = DWORD(x * 7 + y * 13 + 1);
  return bitCount >= 24 ? v * 0x010307u : v % (1u << bitCount);
}

TEST_P(Resize, TopLeftIsKeptAndTheRestIsZero) {
  const ResizeCase c = GetParam();
  TestDIB image;
  Remake(image, c.width, c.height, c.bitCount);
  TVynCustomInternalDIB& s = *image.Image();
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) s.SetPixel(x, y, Pattern(x, y, c.bitCount));
  s.SetTransColor(0x00FF00);
  const int changes = image.changes;

  if (c.newWidth != c.width) image.SetWidth(c.newWidth);
  if (c.newHeight != c.height) image.SetHeight(c.newHeight);
  EXPECT_GT(image.changes, changes);
  ASSERT_EQ(image.Image(), &s) << "an unshared image resizes in its own store";
  ASSERT_EQ(image.GetWidth(), c.newWidth);
  ASSERT_EQ(image.GetHeight(), c.newHeight);
  EXPECT_EQ(s.BitCount(), c.bitCount);
  EXPECT_EQ(s.InfoHeader()->biWidth, c.newWidth);
  EXPECT_EQ(s.InfoHeader()->biHeight, c.newHeight);
  EXPECT_EQ(image.GetTransColor(), 0x00FF00u);
  for (int y = 0; y < c.newHeight; ++y)
    for (int x = 0; x < c.newWidth; ++x) {
      const bool kept = x < c.width && y < c.height;
      EXPECT_EQ(s.GetPixel(x, y), kept ? Pattern(x, y, c.bitCount) : 0u) << x << "," << y;
    }
  // Row padding stays zero, so whole-row writers never emit stale pixels.
  const TVynDIBDesc& d = s.Desc();
  const std::size_t used = (std::size_t(c.newWidth) * c.bitCount + 7) / 8;
  for (int y = 0; y < c.newHeight; ++y) {
    const BYTE* row = PictureRow(d, y);
    for (std::size_t i = used; i < std::size_t(d.LineSize); ++i) EXPECT_EQ(row[i], 0) << y;
    if (c.newWidth * c.bitCount % 8 != 0) {
      const int spare = 8 - c.newWidth * c.bitCount % 8;
      EXPECT_EQ(row[used - 1] & ((1 << spare) - 1), 0) << "spare bits of row " << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Resize,
                         ::testing::Values(ResizeCase{8, 5, 4, 5, 7},   // taller
                                           ResizeCase{8, 5, 4, 5, 2},   // shorter
                                           ResizeCase{8, 7, 3, 3, 3},   // narrower
                                           ResizeCase{1, 13, 3, 5, 3},  // narrower inside a byte
                                           ResizeCase{1, 9, 2, 20, 4},  // wider and taller
                                           ResizeCase{4, 7, 3, 3, 5},   // odd nibble cut
                                           ResizeCase{24, 5, 4, 2, 6}, ResizeCase{32, 3, 3, 6, 1}));

TEST(ResizeKeeps, ResolutionTablesAndKeys) {
  TestDIB image;
  Fill(image);
  image.SetHeight(9);
  const TVynDIBDesc& d = image.Image()->Desc();
  EXPECT_EQ(d.UnitSpecifier, 2);
  EXPECT_EQ(d.InfoHeader->biYPelsPerMeter, 3779);
  EXPECT_EQ(d.Gamma, 45455u);
  EXPECT_EQ(AlphaTable(d)[2], 128);
  EXPECT_EQ(EntryFlags(d)[3], 1);
  EXPECT_EQ(d.PaletteCount, 5);
  EXPECT_EQ(image.Image()->BGIndex(), 1);
  EXPECT_EQ(image.GetBGColor(), 0x0000FFu);
}

}  // namespace
