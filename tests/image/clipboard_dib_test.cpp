// The clipboard's packed DIB: round trips, the format check, header variants and damaged
// blocks bounded by the size of the global memory.
#include <gtest/gtest.h>

#include <cstring>

#include "bmp_test_util.h"
#include "dib_test_util.h"
#include "platform/kernel.h"

namespace {

// A global memory block holding bytes, freed at the end of the scope.
class Block {
 public:
  explicit Block(const Bytes& bytes) : memory_(GlobalAlloc(GMEM_MOVEABLE, bytes.size())) {
    std::memcpy(GlobalLock(memory_), bytes.data(), bytes.size());
    GlobalUnlock(memory_);
  }
  explicit Block(HGLOBAL memory) : memory_(memory) {}
  ~Block() { GlobalFree(memory_); }
  Block(const Block&) = delete;
  Block& operator=(const Block&) = delete;
  HGLOBAL Get() const { return memory_; }

 private:
  HGLOBAL memory_;
};

// Parts with the defaults of BmpParts, changed by edit.
template <typename Edit>
BmpParts With(Edit edit) {
  BmpParts p;
  edit(p);
  return p;
}

void LoadDib(TVynCustomDIB& image, const Bytes& dib) {
  Block block(dib);
  image.LoadFromClipboardFormat(CF_DIB, block.Get(), nullptr);
}

class ClipboardRoundTrip : public testing::TestWithParam<int> {};

TEST_P(ClipboardRoundTrip, KeepsSizeBitCountPaletteAndPixels) {
  TVynCustomDIB image;
  std::vector<RGBQUAD> palette;
  for (int i = 0; i < 256; ++i) palette.push_back({BYTE(i), BYTE(i / 2), BYTE(255 - i), 0});
  Remake(image, 13, 7, GetParam(), GetParam() <= 8 ? palette : std::vector<RGBQUAD>{});
  const TVynDIBDesc& d = image.Image()->Desc();
  for (std::size_t i = 0; i < std::size_t(d.LineSize) * d.Height; ++i) d.Bits[i] = BYTE(i * 13);
  image.SetTransColor(0x00F2F2F2);

  WORD format = 0;
  HANDLE data = nullptr;
  HPALETTE pal = reinterpret_cast<HPALETTE>(&format);  // must be cleared
  image.SaveToClipboardFormat(format, data, pal);
  Block block(data);
  EXPECT_EQ(format, CF_DIB);
  EXPECT_EQ(pal, nullptr);
  EXPECT_EQ(GlobalSize(data), 40u + d.PaletteCount * 4u + std::size_t(d.LineSize) * 7);

  TVynCustomDIB loaded;
  loaded.LoadFromClipboardFormat(format, data, nullptr);
  TVynCustomInternalDIB& b = *loaded.Image();
  EXPECT_EQ(b.Width(), 13);
  EXPECT_EQ(b.Height(), 7);
  EXPECT_EQ(b.BitCount(), GetParam());
  if (GetParam() <= 8) {
    ASSERT_EQ(b.PaletteCount(), d.PaletteCount);
    EXPECT_EQ(0, std::memcmp(b.Palette(), d.Palette, d.PaletteCount * sizeof(RGBQUAD)));
  }
  EXPECT_EQ(0, std::memcmp(b.Desc().Bits, d.Bits, std::size_t(d.LineSize) * 7));
  // Colour keys do not travel.
  EXPECT_EQ(loaded.GetTransColor(), clNone);
  if (GetParam() == 32) {
    EXPECT_EQ(b.GetAlphaMode(), kAlphaModePixel);
  }
}

INSTANTIATE_TEST_SUITE_P(BitCounts, ClipboardRoundTrip, testing::Values(1, 4, 8, 24, 32));

TEST(ClipboardDib, OtherFormatsAndMissingDataAreRefused) {
  TVynCustomDIB image;
  const Bytes dib = BuildPackedDib(With([](BmpParts& p) {
    p.bitCount = 24;
    p.pixels = Bytes(24, 0);
  }));
  Block block(dib);
  ExpectDIBError([&] { image.LoadFromClipboardFormat(CF_BITMAP, block.Get(), nullptr); },
                 "LoadFromClipBoardFormat: Invalid Clipboard Format or No Data");
  ExpectDIBError([&] { image.LoadFromClipboardFormat(CF_DIB, nullptr, nullptr); },
                 "LoadFromClipBoardFormat: Invalid Clipboard Format or No Data");
  EXPECT_EQ(image.GetWidth(), 8);
}

TEST(ClipboardDib, CoreHeaderWithEightBitsReadsThreeByteEntries) {
  BmpParts p;
  p.headerSize = 12;
  p.width = 2;
  p.height = 1;
  for (std::uint32_t i = 0; i < 256; ++i) p.table.push_back(i << 8);
  p.pixels = {7, 200, 0, 0};
  TVynCustomDIB image;
  LoadDib(image, BuildPackedDib(p));
  EXPECT_EQ(image.Image()->PaletteCount(), 256);
  EXPECT_EQ(image.Image()->GetPixel(0, 0), 7u);
  EXPECT_EQ(image.Image()->GetPixel(1, 0), 200u);
  EXPECT_EQ(image.Image()->GetPaletteColor(200), RGB(0, 200, 0));
}

TEST(ClipboardDib, BitFieldsAndRunLengthDataDecodeAsInFiles) {
  BmpParts masked;
  masked.width = 1;
  masked.height = 1;
  masked.bitCount = 16;
  masked.compression = 3;
  masked.masks = {0xF800, 0x07E0, 0x001F};
  masked.pixels = {0x00, 0xF8, 0, 0};
  TVynCustomDIB image;
  LoadDib(image, BuildPackedDib(masked));
  EXPECT_EQ(image.Image()->GetPixelColor(0, 0), RGB(255, 0, 0));

  BmpParts rle;
  rle.width = 3;
  rle.height = 1;
  rle.compression = 1;
  rle.colorsUsed = 2;
  rle.table = {0, 0xFFFFFF};
  rle.pixels = {3, 1, 0, 1};
  LoadDib(image, BuildPackedDib(rle));
  EXPECT_EQ(image.Image()->GetPixel(2, 0), 1u);

  // A fourth byte that is 0 throughout is padding: the picture is opaque, not invisible.
  BmpParts padded;
  padded.width = 1;
  padded.height = 1;
  padded.bitCount = 32;
  padded.pixels = {1, 2, 3, 0};
  LoadDib(image, BuildPackedDib(padded));
  EXPECT_EQ(image.Image()->GetAlphaMode(), kAlphaModeNone);
  EXPECT_EQ(image.Image()->GetPixel(0, 0), 0xFF030201u);
}

struct BadDibCase {
  const char* name;
  BmpParts parts;
  std::size_t cut;  // bytes removed from the end of the block
  const char* message;
};

class ClipboardBadDib : public testing::TestWithParam<BadDibCase> {};

TEST_P(ClipboardBadDib, FailsCleanlyAndKeepsTheImage) {
  TVynCustomDIB image;
  Remake(image, 3, 3, 8);
  image.Image()->SetPixel(2, 2, 99);
  TVynCustomDIB sharer;
  sharer.Assign(&image);
  const TVynCustomInternalDIB* store = image.Image();
  Bytes dib = BuildPackedDib(GetParam().parts);
  dib.resize(dib.size() - GetParam().cut);
  ExpectDIBError([&] { LoadDib(image, dib); }, GetParam().message);
  EXPECT_EQ(image.GetWidth(), 3);
  EXPECT_EQ(image.Image()->GetPixel(2, 2), 99u);
  EXPECT_EQ(image.Image(), store);
  EXPECT_EQ(store->RefCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipboardBadDib,
    testing::Values(BadDibCase{"ZeroWidth", With([](BmpParts& p) {
                                 p.width = 0;
                                 p.bitCount = 24;
                                 p.pixels = Bytes(8, 0);
                               }),
                               0, "LoadFromClipboardFormat: Invalid Width or Height"},
                    BadDibCase{"ZeroMask", With([](BmpParts& p) {
                                 p.bitCount = 16;
                                 p.compression = 3;
                                 p.masks = {0, 0x7E0, 0x1F};
                                 p.pixels = Bytes(16, 0);
                               }),
                               0, "LoadFromClipBoardFormat: Invalid Masks"},
                    // The colour table and the masks are checked against the block's size.
                    BadDibCase{"TableRunsPastBlock", With([](BmpParts& p) {
                                 p.bitCount = 8;
                                 p.colorsUsed = 200;
                                 p.table = std::vector<std::uint32_t>(10);
                               }),
                               0, "LoadFromClipboardFormat: Data Too Short"},
                    BadDibCase{"MasksRunPastBlock", With([](BmpParts& p) {
                                 p.bitCount = 16;
                                 p.compression = 3;
                                 p.masks = {0xF800, 0x7E0, 0x1F};
                               }),
                               6, "LoadFromClipboardFormat: Data Too Short"},
                    BadDibCase{"PixelsRunPastBlock", With([](BmpParts& p) {
                                 p.bitCount = 24;
                                 p.pixels = Bytes(24, 0);
                               }),
                               1, "LoadFromClipboardFormat: Data Too Short"},
                    BadDibCase{"HeaderCut", With([](BmpParts& p) {
                                 p.bitCount = 24;
                                 p.pixels = {};
                               }),
                               30, "LoadFromClipboardFormat: Data Too Short"},
                    BadDibCase{"HeaderSizeAbsurd",
                               With([](BmpParts& p) { p.headerSize = 0x7FFFFFF0; }), 0,
                               "LoadFromClipboardFormat: Invalid Header Size"},
                    BadDibCase{"OverPixelLimit", With([](BmpParts& p) {
                                 p.width = 1 << 20;
                                 p.height = 1 << 9;
                                 p.bitCount = 1;
                               }),
                               0, "LoadFromClipboardFormat: Image Too Large"},
                    BadDibCase{"RunLengthWithoutEnd", With([](BmpParts& p) {
                                 p.compression = 1;
                                 p.colorsUsed = 1;
                                 p.table = {0};
                                 p.pixels = {2, 0, 0, 0};
                               }),
                               0, "LoadFromClipboardFormat: Data Too Short"}),
    [](const testing::TestParamInfo<BadDibCase>& info) { return std::string(info.param.name); });

}  // namespace
