// Construction, storage allocation, the shared routines and the image's error messages.
#include <gtest/gtest.h>

#include <cstring>

#include "image/dib_routines.h"
#include "image/dib_test_util.h"
#include "platform/bitmap.h"
#include "platform/exception.h"
#include "platform/row_size.h"
#include "platform/stream.h"

namespace {

// ---- construction -------------------------------------------------------------------------

TEST(Construction, NewImageIsEightByEightOneBitWithTwoBlackEntries) {
  TVynCustomDIB image;
  EXPECT_FALSE(image.GetEmpty());
  EXPECT_EQ(image.GetWidth(), 8);
  EXPECT_EQ(image.GetHeight(), 8);
  EXPECT_TRUE(image.PaletteModified());
  TVynCustomInternalDIB& store = *image.Image();
  EXPECT_EQ(store.RefCount(), 1);
  EXPECT_EQ(store.BitCount(), 1);
  EXPECT_EQ(store.PaletteCount(), 2);
  EXPECT_EQ(store.LineSize(), 4);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(store.GetPixel(x, y), 0u);

  HPALETTE palette = image.GetPalette();
  ASSERT_NE(palette, nullptr);
  PALETTEENTRY entries[4]{};
  ASSERT_EQ(GetPaletteEntries(palette, 0, 4, entries), 2u);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(entries[i].peRed | entries[i].peGreen | entries[i].peBlue | entries[i].peFlags, 0);
  }
  EXPECT_EQ(image.GetPalette(), palette) << "the palette handle is made once and kept";
  EXPECT_EQ(image.GetTransColor(), clNone);
  EXPECT_EQ(image.GetBGColor(), clNone);
  EXPECT_FALSE(image.GetAlphaFlag());
  EXPECT_EQ(image.GetUnitSpecifier(), 0);
  EXPECT_EQ(image.GetWidthSpecific(), 1);
  EXPECT_EQ(image.GetHeightSpecific(), 1);
  EXPECT_EQ(image.FInfoFormat, 0);
  EXPECT_TRUE(image.FInfoText.IsEmpty());
}

TEST(Construction, TableBlockAndHeaderLayout) {
  TVynCustomDIB image;
  Remake(image, 13, 5, 8, MakePalette({0x0000FF, 0x00FF00}));
  const TVynDIBDesc& d = image.Image()->Desc();
  EXPECT_EQ(d.Allocated, 1);
  EXPECT_EQ(reinterpret_cast<BYTE*>(d.InfoHeader), d.Tables + 512);
  EXPECT_EQ(reinterpret_cast<BYTE*>(d.Palette), d.Tables + 552);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(EntryFlags(d)[i], 0) << i;
    EXPECT_EQ(AlphaTable(d)[i], 255) << i;
  }
  const BITMAPINFOHEADER& h = *d.InfoHeader;
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 13);
  EXPECT_EQ(h.biHeight, 5);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 8);
  EXPECT_EQ(h.biCompression, BI_RGB);
  EXPECT_EQ(h.biSizeImage, 0u);
  EXPECT_EQ(h.biXPelsPerMeter, 0);
  EXPECT_EQ(h.biYPelsPerMeter, 0);
  EXPECT_EQ(h.biClrUsed, 2u);
  EXPECT_EQ(h.biClrImportant, 0u);
  EXPECT_EQ(d.Palette[0].rgbRed, 255);
  EXPECT_EQ(d.Palette[1].rgbGreen, 255);
  EXPECT_EQ(d.LineSize, 16);
  EXPECT_EQ(d.TopLine, d.Bits + 16 * 4);
  EXPECT_EQ(d.Gamma, 0u);
  EXPECT_EQ(d.KeyFlags, 0u);
  // The mapping holds exactly the pixels: a view one byte longer is refused.
  EXPECT_EQ(MapViewOfFile(d.Section, FILE_MAP_WRITE, 0, 0, 16 * 5 + 1), nullptr);
  for (int i = 0; i < 16 * 5; ++i) EXPECT_EQ(d.Bits[i], 0) << i;
}

// ---- palette-count rules ------------------------------------------------------------------

struct PaletteCountCase {
  int bitCount;
  int asked;
  int expected;
};

class PaletteCountRules : public ::testing::TestWithParam<PaletteCountCase> {};

TEST_P(PaletteCountRules, CountFollowsBitCount) {
  const PaletteCountCase c = GetParam();
  TVynCustomInternalDIB store;
  std::vector<RGBQUAD> source(256, RGBQUAD{1, 2, 3, 0});
  TVynDIBDesc d{};
  store.AllocImage(d, 3, false, source.data(), c.asked, c.bitCount, 2);
  EXPECT_EQ(d.PaletteCount, c.expected);
  EXPECT_EQ(d.InfoHeader->biClrUsed, DWORD(c.expected));
  store.FreeImageData(d);
  EXPECT_EQ(d.Tables, nullptr);
  EXPECT_EQ(d.Bits, nullptr);
  EXPECT_EQ(d.Section, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Allocation, PaletteCountRules,
                         ::testing::Values(PaletteCountCase{1, 0, 2}, PaletteCountCase{1, 256, 2},
                                           PaletteCountCase{4, 3, 16}, PaletteCountCase{4, 0, 16},
                                           PaletteCountCase{8, 0, 256}, PaletteCountCase{8, 1, 256},
                                           PaletteCountCase{8, 2, 2}, PaletteCountCase{8, 77, 77},
                                           PaletteCountCase{8, 300, 256},
                                           PaletteCountCase{8, -4, 256}, PaletteCountCase{24, 0, 0},
                                           PaletteCountCase{24, 16, 16}, PaletteCountCase{32, 0, 0},
                                           PaletteCountCase{32, 1, 256}));

TEST(Allocation, ShortSourcePaletteIsNotReadPastItsCount) {
  // A 4-bit image keeps 16 entries; only the 3 given are read, the rest stay black.
  TVynCustomInternalDIB store;
  const auto three = MakePalette({0x112233, 0x445566, 0x778899});
  TVynDIBDesc d{};
  store.AllocImage(d, 4, false, three.data(), 3, 4, 4);
  EXPECT_EQ(d.PaletteCount, 16);
  EXPECT_EQ(d.Palette[2].rgbRed, 0x99);
  for (int i = 3; i < 16; ++i) EXPECT_EQ(d.Palette[i].rgbRed | d.Palette[i].rgbBlue, 0) << i;
  store.FreeImageData(d);
}

TEST(Allocation, AlphaFor24BitsMakesOpaqueBlack32Bits) {
  TVynCustomDIB image;
  Remake(image, 3, 2, 24, {}, true);
  TVynCustomInternalDIB& store = *image.Image();
  EXPECT_EQ(store.BitCount(), 32);
  EXPECT_EQ(store.GetAlphaMode(), kAlphaModePixel);
  EXPECT_TRUE(image.GetAlphaFlag());
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(store.GetPixel(x, y), 0xFF000000u);
}

TEST(Allocation, AlphaForPaletteImageUsesTheAlphaTable) {
  TVynCustomDIB image;
  Remake(image, 3, 2, 8, MakePalette({0, 0xFFFFFF, 0x808080}), true);
  const TVynDIBDesc& d = image.Image()->Desc();
  EXPECT_EQ(AlphaMode(d), kAlphaModeTable);
  EXPECT_EQ(d.AlphaCount, 3);
  EXPECT_EQ(d.Bits[0], 0);
}

// ---- shared routines ----------------------------------------------------------------------

TEST(Routines, RowSizePadsToItsAlignment) {
  EXPECT_EQ(RequireRowBytes(1, 1, kDIBRowAlignment), 4u);
  EXPECT_EQ(RequireRowBytes(33, 1, kDIBRowAlignment), 8u);
  EXPECT_EQ(RequireRowBytes(9, 4, kDIBRowAlignment), 8u);
  EXPECT_EQ(RequireRowBytes(310, 8, kDIBRowAlignment), 312u);
  EXPECT_EQ(RequireRowBytes(5, 24, kDIBRowAlignment), 16u);
  EXPECT_EQ(RequireRowBytes(3, 32, kDIBRowAlignment), 12u);
  EXPECT_EQ(RequireRowBytes(0, 8, kDIBRowAlignment), 0u);
  EXPECT_EQ(DIBImageSize(5, -3, 24), 48u);
  EXPECT_EQ(RowBytes(9, 4, kPackedRowAlignment), 5u);
  EXPECT_EQ(RowBytes(9, 4, kDDBRowAlignment), 6u);
  EXPECT_EQ(RowBytes(kMaxRowBytes, 8, kPackedRowAlignment), std::size_t(kMaxRowBytes));
}

TEST(Routines, SizesThatCannotBeMappedRaiseOutOfMemory) {
  EXPECT_THROW(DIBImageSize(65536, 65536, 8), EOutOfMemory);  // exactly 4 GiB
  EXPECT_EQ(DIBImageSize(65536, 65535, 8), std::size_t(65536) * 65535);
  EXPECT_THROW(RequireRowBytes(0x7FFFFFFF, 32, kDIBRowAlignment), EOutOfMemory);
  EXPECT_THROW(RequireRowBytes(INT64_MAX, 32, kDIBRowAlignment), EOutOfMemory);
  EXPECT_THROW(RequireRowBytes(-1, 8, kDIBRowAlignment), EOutOfMemory);
  EXPECT_THROW(DIBImageSize(1, INT64_MIN, 8), EOutOfMemory);
  // Padding must not carry a row that just fits over the limit.
  EXPECT_EQ(RowBytes(kMaxRowBytes, 8, kDIBRowAlignment), std::nullopt);
  EXPECT_EQ(RowBytes(1, -8, kPackedRowAlignment), std::nullopt);
}

TEST(Routines, DpiToPixelsPerMetreTruncates) {
  EXPECT_EQ(DpiToPelsPerMeter(72), 2834);
  EXPECT_EQ(DpiToPelsPerMeter(96), 3779);
  EXPECT_EQ(DpiToPelsPerMeter(300), 11811);
  EXPECT_EQ(DpiToPelsPerMeter(-96), -3779);
  EXPECT_EQ(DpiToPelsPerMeter(0), 0);
  EXPECT_EQ(DpiToPelsPerMeter(0x7FFFFFFF), 0x7FFFFFFF) << "saturates instead of wrapping";
}

TEST(Routines, SwapRedBlueExchangesOuterBytes) {
  EXPECT_EQ(SwapRedBlue(0x00123456), 0x00563412u);
  EXPECT_EQ(SwapRedBlue(0xAA0000FF), 0xAAFF0000u);
}

TEST(Routines, ExtractRowRealignsPackedPixels) {
  // 1 bit: 0b10110011 0b01000000, take 5 pixels from pixel 3: 1 0 0 1 1 → 0b10011000.
  const BYTE bits1[] = {0xB3, 0x40};
  BYTE out[4];
  std::memset(out, 0xEE, sizeof out);
  ExtractRow(bits1, 1, 3, 5, out);
  EXPECT_EQ(out[0], 0x98);
  EXPECT_EQ(out[1], 0xEE) << "nothing written past the pixels";
  ExtractRow(bits1, 1, 6, 4, out);  // 1 1 0 1
  EXPECT_EQ(out[0], 0xD0);

  // 4 bits: nibbles 1 2 3 4 5, take 3 from pixel 1: 2 3 4 → 0x23 0x40.
  const BYTE bits4[] = {0x12, 0x34, 0x50};
  std::memset(out, 0xEE, sizeof out);
  ExtractRow(bits4, 4, 1, 3, out);
  EXPECT_EQ(out[0], 0x23);
  EXPECT_EQ(out[1], 0x40);
  EXPECT_EQ(out[2], 0xEE);
}

TEST(Routines, ExtractRowCopiesWholeBytePixels) {
  const BYTE row[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  BYTE out[12]{};
  ExtractRow(row, 8, 2, 3, out);
  EXPECT_EQ(std::vector<BYTE>(out, out + 3), (std::vector<BYTE>{3, 4, 5}));
  ExtractRow(row, 24, 1, 2, out);
  EXPECT_EQ(std::vector<BYTE>(out, out + 6), (std::vector<BYTE>{4, 5, 6, 7, 8, 9}));
  ExtractRow(row, 32, 2, 1, out);
  EXPECT_EQ(std::vector<BYTE>(out, out + 4), (std::vector<BYTE>{9, 10, 11, 12}));
  std::memset(out, 0xEE, sizeof out);
  ExtractRow(row, 16, 0, 2, out);
  EXPECT_EQ(out[0], 0xEE) << "other bit counts copy nothing";
}

// ---- not-Image errors ---------------------------------------------------------------------

struct EmptyCall {
  const char* name;
  std::function<void(TVynCustomDIB&)> call;
};

// Every operation that needs a picture refuses an empty image with "<name>: not Image".
const EmptyCall kEmptyCalls[] = {
    EmptyCall{"GetWidth", [](TVynCustomDIB& i) { i.GetWidth(); }},
    EmptyCall{"GetHeight", [](TVynCustomDIB& i) { i.GetHeight(); }},
    EmptyCall{"SetWidth", [](TVynCustomDIB& i) { i.SetWidth(4); }},
    EmptyCall{"SetHeight", [](TVynCustomDIB& i) { i.SetHeight(4); }},
    EmptyCall{"GetPalette", [](TVynCustomDIB& i) { i.GetPalette(); }},
    EmptyCall{"SetPalette", [](TVynCustomDIB& i) { i.SetPalette(nullptr); }},
    EmptyCall{"GetAlphaFlag", [](TVynCustomDIB& i) { i.GetAlphaFlag(); }},
    EmptyCall{"GetUnitSpecifier", [](TVynCustomDIB& i) { i.GetUnitSpecifier(); }},
    EmptyCall{"GetWidthSpecific", [](TVynCustomDIB& i) { i.GetWidthSpecific(); }},
    EmptyCall{"GetHeightSpecific", [](TVynCustomDIB& i) { i.GetHeightSpecific(); }},
    EmptyCall{"GetTransColor", [](TVynCustomDIB& i) { i.GetTransColor(); }},
    EmptyCall{"SetTransColor", [](TVynCustomDIB& i) { i.SetTransColor(0); }},
    EmptyCall{"GetBGColor", [](TVynCustomDIB& i) { i.GetBGColor(); }},
    EmptyCall{"SetBGColor", [](TVynCustomDIB& i) { i.SetBGColor(0); }},
    EmptyCall{"FreeDCHandle", [](TVynCustomDIB& i) { i.FreeDCHandle(); }},
    EmptyCall{"SaveToStream",
              [](TVynCustomDIB& i) {
                TMemoryStream stream;
                i.SaveToStream(stream);
              }},
    EmptyCall{"RectSaveToStream",
              [](TVynCustomDIB& i) {
                TMemoryStream stream;
                i.RectSaveToStream(stream, 0, 0, 0, 0);
              }},
    // Nothing is handed out for the clipboard either.
    EmptyCall{"SaveToClipboardFormat",
              [](TVynCustomDIB& i) {
                WORD format = 0;
                HANDLE data = nullptr;
                HPALETTE palette = nullptr;
                try {
                  i.SaveToClipboardFormat(format, data, palette);
                } catch (...) {
                  EXPECT_EQ(data, nullptr);
                  throw;
                }
              }},
    EmptyCall{"Draw",
              [](TVynCustomDIB& i) {
                TBitmap target;
                i.Draw(target.Canvas(), Rect(0, 0, 2, 2));
              }},
    EmptyCall{"AssignTo", [](TVynCustomDIB& i) {
                TBitmap bitmap;
                bitmap.Assign(&i);
              }}};

TEST(NotImageErrors, EmptyImageRaisesNameColonNotImage) {
  for (const EmptyCall& c : kEmptyCalls) {
    TVynCustomDIB image;
    image.Image()->FreeImage();
    ASSERT_TRUE(image.GetEmpty());
    ExpectDIBError([&] { c.call(image); }, std::string(c.name) + ": not Image");
  }
}

TEST(Errors, StoreWithoutImageRaisesNotImageData) {
  TVynCustomInternalDIB store;
  store.FreeImage();
  ExpectDIBError([&] { store.GetPaletteHandle(); }, "GetPaletteHandle: not Image Data!");
  ExpectDIBError([&] { store.SetPaletteHandle(nullptr); }, "SetPaletteHandle: not Image Data!");
  ExpectDIBError([&] { store.GetPaletteColor(0); }, "GetPaletteColor: not Image Data!");
  ExpectDIBError([&] { store.GetNearestPaletteIndex(0); },
                 "GetNearestPaletteIndex: not Image Data!");
  ExpectDIBError([&] { store.GetColorRef(0); }, "GetColorRef: over PaletteIndex");
  EXPECT_EQ(store.GetPixel(0, 0), 0u) << "accessors of an empty store touch no memory";
}

TEST(Errors, AttachingADescriptorWithoutStorageLeavesTheImageEmpty) {
  // A load that found no pixel data hands over a descriptor without storage.
  TestDIB image;
  TVynDIBDesc nothing{};
  nothing.Width = 4;
  nothing.Height = 4;
  nothing.BitCount = 8;
  nothing.PaletteCount = 2;
  image.Image()->AttachImage(nothing);
  EXPECT_TRUE(image.GetEmpty());
  ExpectDIBError([&] { image.GetWidth(); }, "GetWidth: not Image");
}

// ---- bad input ----------------------------------------------------------------------------

struct BadSize {
  int width;
  int height;
};

class BadSizes : public ::testing::TestWithParam<BadSize> {};

TEST_P(BadSizes, SetWidthSetHeightAndAllocImageRefuseAndKeepTheImage) {
  const BadSize s = GetParam();
  TestDIB image;
  Remake(image, 5, 3, 8, MakePalette({0x102030, 0x405060}));
  image.Image()->SetPixel(4, 2, 1);
  TVynCustomInternalDIB* store = image.Image();
  BYTE* bits = store->Desc().Bits;
  const int changes = image.changes;

  if (s.width <= 0)
    ExpectDIBError([&] { image.SetWidth(s.width); }, "SetWidth: Invalid Width or Height");
  if (s.height <= 0)
    ExpectDIBError([&] { image.SetHeight(s.height); }, "SetHeight: Invalid Width or Height");
  ExpectDIBError([&] { store->CreateImage(s.width, s.height, false, nullptr, 0, 8); },
                 "AllocImage: Invalid Width or Height");

  EXPECT_EQ(image.Image(), store);
  EXPECT_EQ(store->Desc().Bits, bits);
  EXPECT_EQ(image.GetWidth(), 5);
  EXPECT_EQ(image.GetHeight(), 3);
  EXPECT_EQ(store->GetPixel(4, 2), 1u);
  EXPECT_EQ(image.changes, changes);
}

INSTANTIATE_TEST_SUITE_P(BadInput, BadSizes,
                         ::testing::Values(BadSize{0, 3}, BadSize{-1, 3}, BadSize{5, 0},
                                           BadSize{5, -7}, BadSize{INT_MIN, INT_MIN}));

TEST(BadInput, UnsupportedBitCountIsRefused) {
  TVynCustomInternalDIB store;
  for (int bits : {0, 2, 16, 64}) {
    TVynDIBDesc d{};
    ExpectDIBError([&] { store.AllocImage(d, 4, false, nullptr, 0, bits, 4); },
                   "AllocImage: Invalid BitCount");
    EXPECT_EQ(d.Tables, nullptr);
  }
}

struct HugeSize {
  int width;
  int height;
  int bitCount;
};

class HugeSizes : public ::testing::TestWithParam<HugeSize> {};

TEST_P(HugeSizes, OutOfMemoryBeforeAnythingIsAllocatedAndImageUnchanged) {
  const HugeSize s = GetParam();
  TestDIB image;
  Remake(image, 6, 4, 24);
  image.Image()->SetPixel(5, 3, 0xABCDEF);
  TVynCustomInternalDIB* store = image.Image();
  TVynDIBDesc d{};
  EXPECT_THROW(store->AllocImage(d, s.width, false, nullptr, 0, s.bitCount, s.height),
               EOutOfMemory);
  EXPECT_EQ(d.Tables, nullptr);
  EXPECT_EQ(d.Section, nullptr);
  EXPECT_THROW(image.SetWidth(s.width), EOutOfMemory);
  EXPECT_EQ(image.GetWidth(), 6);
  EXPECT_EQ(image.GetHeight(), 4);
  EXPECT_EQ(store->BitCount(), 24);
  EXPECT_EQ(store->GetPixel(5, 3), 0xABCDEFu);
}

INSTANTIATE_TEST_SUITE_P(BadInput, HugeSizes,
                         ::testing::Values(HugeSize{0x7FFFFFFF, 1, 32},          // row over 2 GiB
                                           HugeSize{0x40000000, 4, 8},           // exactly 4 GiB
                                           HugeSize{0x7FFFFFFF, 0x7FFFFFFF, 1},  // product wraps
                                           HugeSize{0x20000000, 3, 24}));

}  // namespace
