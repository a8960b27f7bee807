// Palette handles, palette colours and colour references.
#include <gtest/gtest.h>

#include <cstring>

#include "image/dib_test_util.h"

namespace {

HPALETTE MakeHandle(const std::vector<PALETTEENTRY>& entries) {
  std::vector<BYTE> buffer(4 + entries.size() * sizeof(PALETTEENTRY));
  auto* log = reinterpret_cast<LOGPALETTE*>(buffer.data());
  log->palVersion = 0x300;
  log->palNumEntries = WORD(entries.size());
  std::memcpy(log->palPalEntry, entries.data(), entries.size() * sizeof(PALETTEENTRY));
  return CreatePalette(log);
}

TEST(PaletteHandle, MadeLazilyFromEntriesWithFlags) {
  TVynCustomDIB image;
  Remake(image, 4, 4, 8, MakePalette({0x0000FF, 0x00FF00, 0xFF0000}));
  TVynCustomInternalDIB& store = *image.Image();
  EntryFlags(store.Desc())[1] = 4;
  HPALETTE handle = store.GetPaletteHandle();
  ASSERT_NE(handle, nullptr);
  PALETTEENTRY e[3]{};
  ASSERT_EQ(GetPaletteEntries(handle, 0, 256, e), 3u);
  EXPECT_EQ(e[0].peRed, 255);
  EXPECT_EQ(e[1].peGreen, 255);
  EXPECT_EQ(e[1].peFlags, 4);
  EXPECT_EQ(e[2].peBlue, 255);
  EXPECT_EQ(image.GetPalette(), handle);
}

TEST(PaletteHandle, NoneWithoutPaletteEntries) {
  TVynCustomDIB image;
  Remake(image, 4, 4, 24);
  EXPECT_EQ(image.GetPalette(), nullptr);
}

TEST(PaletteHandle, SetPaletteAdoptsEntriesAndKeepsKeysAndAlpha) {
  TestDIB image;
  Remake(image, 4, 4, 8, MakePalette({0, 0xFFFFFF}), true);
  image.SetTransColor(0x00F2F2F2);
  TVynCustomInternalDIB& store = *image.Image();
  const int transIndex = store.TransIndex();
  AlphaTable(store.Desc())[0] = 17;
  image.GetPalette();  // an old handle that must be replaced
  image.SetPaletteModified(false);

  HPALETTE handle = MakeHandle({{10, 20, 30, 1}, {40, 50, 60, 2}, {70, 80, 90, 0}});
  image.SetPalette(handle);
  EXPECT_EQ(image.GetPalette(), handle) << "the store owns the handle it was given";
  EXPECT_TRUE(image.PaletteModified());
  EXPECT_EQ(image.changes, 1);
  const TVynDIBDesc& d = store.Desc();
  EXPECT_EQ(d.PaletteCount, 3);
  EXPECT_EQ(d.InfoHeader->biClrUsed, 3u);
  EXPECT_EQ(d.Palette[1].rgbRed, 40);
  EXPECT_EQ(d.Palette[1].rgbGreen, 50);
  EXPECT_EQ(d.Palette[1].rgbBlue, 60);
  EXPECT_EQ(d.Palette[1].rgbReserved, 0);
  EXPECT_EQ(EntryFlags(d)[0], 1);
  EXPECT_EQ(EntryFlags(d)[1], 2);
  EXPECT_EQ(AlphaTable(d)[0], 17);
  EXPECT_EQ(store.TransIndex(), transIndex) << "caches are not worked out again";
  EXPECT_EQ(image.GetTransColor(), 0x00F2F2F2u);
}

// Shared or not: a store never adopts a handle another store owns.
TEST(PaletteHandle, SettingTheOwnHandleAgainKeepsIt) {
  TVynCustomDIB image;
  HPALETTE own = image.GetPalette();
  image.SetPalette(own);
  EXPECT_EQ(image.GetPalette(), own);
  PALETTEENTRY e[2]{};
  EXPECT_EQ(GetPaletteEntries(image.GetPalette(), 0, 2, e), 2u);

  TVynCustomDIB sharer;
  Remake(image, 4, 4, 8, MakePalette({0x0000FF, 0x00FF00, 0xFF0000}));
  sharer.Assign(&image);
  HPALETTE shared = image.GetPalette();
  image.SetPalette(shared);
  EXPECT_NE(image.Image(), sharer.Image());
  EXPECT_EQ(sharer.GetPalette(), shared);
  EXPECT_NE(image.GetPalette(), shared);
  PALETTEENTRY copied[3]{};
  ASSERT_EQ(GetPaletteEntries(image.GetPalette(), 0, 256, copied), 3u);
  EXPECT_EQ(copied[2].peBlue, 255);
  EXPECT_EQ(image.Image()->PaletteCount(), 3);
}

TEST(PaletteHandle, ZeroDropsTheHandleButKeepsTheEntries) {
  TVynCustomDIB image;
  Remake(image, 2, 2, 8, MakePalette({0x111111, 0x222222, 0x333333}));
  HPALETTE first = image.GetPalette();
  ASSERT_NE(first, nullptr);
  image.SetPalette(nullptr);
  EXPECT_EQ(image.Image()->PaletteCount(), 3);
  HPALETTE again = image.GetPalette();
  ASSERT_NE(again, nullptr);
  PALETTEENTRY e[3]{};
  ASSERT_EQ(GetPaletteEntries(again, 0, 3, e), 3u);
  EXPECT_EQ(e[2].peRed, 0x33);
}

TEST(PaletteHandle, EmptyPaletteIsInvalidAndChangesNothing) {
  TVynCustomDIB image;
  GdiPalette empty;  // no entries: GetPaletteEntries reads 0
  ExpectDIBError([&] { image.SetPalette(&empty); }, "SetPaletteHandle: Invalid Palette");
  EXPECT_EQ(image.Image()->PaletteCount(), 2);
  // An owned palette the store refuses is freed with its owner, and the store keeps its own.
  HPALETTE own = image.GetPalette();
  ExpectDIBError([&] { image.Image()->AdoptPalette(PaletteOwner(new GdiPalette)); },
                 "SetPaletteHandle: Invalid Palette");
  EXPECT_EQ(image.Image()->MadePaletteHandle(), own);
  image.Image()->AdoptPalette(PaletteOwner(MakeHandle({{1, 2, 3, 0}})));
  EXPECT_EQ(image.Image()->PaletteCount(), 1);
  EXPECT_EQ(image.Image()->GetPaletteColor(0), RGB(1, 2, 3));
}

// ---- palette colour and colour reference ---------------------------------------------------

TEST(PaletteColour, EntryAsColorRefAndAsRGB) {
  TVynCustomDIB image;
  Remake(image, 2, 2, 8, MakePalette({0x000000, 0x123456}));
  TVynCustomInternalDIB& store = *image.Image();
  EXPECT_EQ(store.GetPaletteColor(1), 0x123456u);  // red 0x56 in the low byte
  EXPECT_EQ(store.GetColorRef(1), 0x563412u);      // red in the high byte
  ExpectDIBError([&] { store.GetPaletteColor(2); }, "GetPaletteColor: Palette Index Over");
  ExpectDIBError([&] { store.GetPaletteColor(-1); }, "GetPaletteColor: Palette Index Over");
  ExpectDIBError([&] { store.GetColorRef(2); }, "GetColorRef: over PaletteIndex");
  ExpectDIBError([&] { store.GetColorRef(-1); }, "GetColorRef: over PaletteIndex");
}

TEST(PaletteColour, TwentyFourBitsWithoutTable) {
  TVynCustomDIB image;
  Remake(image, 2, 2, 24);
  TVynCustomInternalDIB& store = *image.Image();
  EXPECT_EQ(store.GetPaletteColor(0), 0u);
  EXPECT_EQ(store.GetPaletteColor(99), 0u);
  ExpectDIBError([&] { store.GetColorRef(0); }, "GetColorRef: over PaletteIndex");
}

TEST(PaletteHandle, DibSectionIsRemadeWithTheNewColours) {
  TVynCustomDIB image;
  Remake(image, 4, 2, 8, MakePalette({0x000000, 0xFFFFFF}));
  TVynCustomInternalDIB& store = *image.Image();
  HDC dc = CreateCompatibleDC(nullptr);
  store.BindDC(dc);
  HBITMAP before = store.CreateBMPHandle();
  ASSERT_NE(before, nullptr);
  ASSERT_EQ(before->colors.size(), 2u);
  store.BindDC(dc);  // binding the same context again changes nothing

  image.SetPalette(MakeHandle({{10, 20, 30, 0}, {40, 50, 60, 0}, {70, 80, 90, 0}}));
  HBITMAP after = store.CreateBMPHandle();
  ASSERT_EQ(after->colors.size(), 3u);
  EXPECT_EQ(after->colors[2].rgbRed, 70);
  EXPECT_EQ(after->colors[2].rgbBlue, 90);
  EXPECT_EQ(dc->bitmap, after) << "the new section is selected where the old one was";
  after->bits[0] = 2;
  EXPECT_EQ(store.Desc().Bits[0], 2) << "the section maps the store's own pixels";

  image.SetWidth(6);  // new storage: the section over the old pixels is dropped
  EXPECT_EQ(dc->bitmap, nullptr);
  EXPECT_EQ(int(store.CreateBMPHandle()->header.biWidth), 6);
  image.FreeDCHandle();
}

// ---- device context binding ----------------------------------------------------------------

TEST(DeviceContext, BoundContextFollowsTheStoreAndIsReleased) {
  TVynCustomDIB image;
  Remake(image, 2, 2, 8, MakePalette({0x000000, 0xFFFFFF}));
  TVynCustomInternalDIB& store = *image.Image();
  HDC dc = CreateCompatibleDC(nullptr);
  store.BindDC(dc);
  EXPECT_EQ(dc->palette, store.GetPaletteHandle());

  // New storage: the old handle is dropped and the new palette is selected instead.
  Remake(image, 3, 3, 8, MakePalette({0x0000FF, 0x00FF00}));
  ASSERT_EQ(store.DC(), dc);
  EXPECT_EQ(dc->palette, store.GetPaletteHandle());

  HPALETTE replacement = MakeHandle({{1, 2, 3, 0}});
  store.SetPaletteHandle(replacement);
  EXPECT_EQ(dc->palette, replacement);

  image.FreeDCHandle();
  EXPECT_EQ(store.DC(), nullptr);
}

}  // namespace
