// Damaged BMP data: each fault gives a clear error and leaves the image as it was, and no
// truncation or single-byte change of a small file crashes the reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>

#include "bmp_test_util.h"
#include "dib_test_util.h"

namespace {

// 4 × 2, 8 bits, a 3-entry table.
BmpParts Small() {
  BmpParts p;
  p.table = {0x000000, 0xFFFFFF, 0x808080};
  p.colorsUsed = 3;
  p.pixels = Bytes(8, 1);
  return p;
}

struct BadCase {
  const char* name;
  std::function<void(BmpParts&)> damage;
  const char* message;  // nullptr: the platform's stream read error
};

class BmpBadInput : public testing::TestWithParam<BadCase> {};

TEST_P(BmpBadInput, FailsCleanlyAndKeepsTheImage) {
  TVynCustomDIB image;
  Remake(image, 3, 5, 24);
  image.Image()->SetPixel(1, 1, 0x123456);
  TVynCustomDIB sharer;
  sharer.Assign(&image);
  const TVynCustomInternalDIB* store = image.Image();
  BmpParts p = Small();
  GetParam().damage(p);
  const Bytes file = BuildBmp(p);
  if (GetParam().message != nullptr)
    ExpectDIBError([&] { LoadBytes(image, file); }, GetParam().message);
  else
    EXPECT_THROW(LoadBytes(image, file), EReadError);
  ASSERT_EQ(image.GetWidth(), 3);
  EXPECT_EQ(image.GetHeight(), 5);
  EXPECT_EQ(image.Image()->GetPixel(1, 1), 0x123456u);
  EXPECT_EQ(image.Image(), store) << "the store is still the one shared before the load";
  EXPECT_EQ(store->RefCount(), 2);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BmpBadInput,
    testing::Values(
        BadCase{"ZeroWidth", [](BmpParts& p) { p.width = 0; },
                "LoadFromStream: Invalid Width or Height"},
        BadCase{"ZeroHeight", [](BmpParts& p) { p.height = 0; },
                "LoadFromStream: Invalid Width or Height"},
        BadCase{"ZeroBitCount", [](BmpParts& p) { p.bitCount = 0; },
                "LoadFromStream: Invalid Width or Height"},
        BadCase{"NegativeWidth", [](BmpParts& p) { p.width = -4; },
                "LoadFromStream: Invalid Width or Height"},
        BadCase{"LowestHeight", [](BmpParts& p) { p.height = INT32_MIN; },
                "LoadFromStream: Invalid Width or Height"},
        // Over the shared pixel limit, and a product that overflows 32 bits.
        BadCase{"OverPixelLimit", [](BmpParts& p) { p.width = 16385, p.height = 16384; },
                "LoadFromStream: Image Too Large"},
        BadCase{"ProductOverflows", [](BmpParts& p) { p.width = p.height = 0x7FFFFFFF; },
                "LoadFromStream: Image Too Large"},
        BadCase{"HeaderSizeTooSmall", [](BmpParts& p) { p.headerSize = 13; },
                "LoadFromStream: Invalid Header Size"},
        BadCase{"HeaderSizeAbsurd", [](BmpParts& p) { p.headerSize = 0x40000000; },
                "LoadFromStream: Invalid Header Size"},
        BadCase{"UnknownBitCount", [](BmpParts& p) { p.bitCount = 3; },
                "LoadFromStream: not support BitCount"},
        BadCase{"JpegCompression", [](BmpParts& p) { p.compression = 4; },
                "LoadFromStream: not support Compression"},
        BadCase{"Rle8On4Bits", [](BmpParts& p) { p.bitCount = 4, p.compression = 1; },
                "LoadFromStream: not support Compression"},
        BadCase{"BitFieldsOn8Bits", [](BmpParts& p) { p.compression = 3; },
                "LoadFromStream: not support Compression"},
        BadCase{"ZeroMask",
                [](BmpParts& p) {
                  p.bitCount = 16, p.compression = 3, p.table.clear(), p.colorsUsed = 0;
                  p.masks = {0xF800, 0, 0x1F};
                },
                "LoadFromStream: Invalid Masks"},
        BadCase{"ColorCountAbsurd", [](BmpParts& p) { p.colorsUsed = 0x12345678; },
                "LoadFromStream: Invalid Color Table"},
        // Data that runs out: the platform's read error.
        BadCase{"TableRunsPastData", [](BmpParts& p) { p.colorsUsed = 600, p.pixels.clear(); },
                nullptr},
        BadCase{"MasksRunPastData",
                [](BmpParts& p) {
                  p.bitCount = 16, p.compression = 3, p.table.clear(), p.colorsUsed = 0;
                  p.pixels.clear();
                  p.masks = {0xF800};
                },
                nullptr},
        BadCase{"PixelsShort", [](BmpParts& p) { p.pixels.resize(7); }, nullptr},
        BadCase{"HugeImageSmallStream", [](BmpParts& p) { p.width = p.height = 16384; }, nullptr}),
    [](const testing::TestParamInfo<BadCase>& info) { return std::string(info.param.name); });

// Every truncation and every single-byte change of a few small files either loads or raises
// the platform's exception; the sanitizers watch the rest.
Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path.string());
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void LoadOrFail(const Bytes& bytes) {
  TVynCustomDIB image;
  try {
    LoadBytes(image, bytes);
    EXPECT_GT(image.GetWidth(), 0);
  } catch (const Exception&) {
    EXPECT_EQ(image.GetWidth(), 8);
  }
}

std::vector<Bytes> SmallFiles() {
  const std::filesystem::path suite = std::filesystem::path(NIMBREL_CORPUS_DIR) / "bmpsuite";
  std::vector<Bytes> files = {BuildBmp(Small())};
  BmpParts rle4 = Small();
  rle4.bitCount = 4;
  rle4.compression = 2;
  rle4.pixels = {0, 3, 0x12, 0x30, 2, 0x45, 0, 2, 1, 0, 0, 0, 1, 0x10, 0, 1};
  files.push_back(BuildBmp(rle4));
  BmpParts masked = Small();
  masked.bitCount = 32;
  masked.compression = 3;
  masked.headerSize = 124;
  masked.headerMasks = {0xFF000000, 0xFF0000, 0xFF00, 0xFF};
  masked.table.clear();
  masked.colorsUsed = 0;
  masked.pixels = Bytes(32, 0x5A);
  files.push_back(BuildBmp(masked));
  files.push_back(ReadFile(suite / "g" / "pal1.bmp"));
  return files;
}

TEST(BmpMutation, EveryTruncationLoadsOrFails) {
  for (const Bytes& file : SmallFiles())
    for (std::size_t length = 0; length < file.size(); ++length)
      LoadOrFail(Bytes(file.begin(), file.begin() + std::ptrdiff_t(length)));
}

TEST(BmpMutation, EverySingleByteChangeLoadsOrFails) {
  for (const Bytes& file : SmallFiles()) {
    // The headers and tables are where a change steers the reader; the pixels of the larger
    // corpus file are sampled.
    const std::size_t dense = std::min<std::size_t>(file.size(), 200);
    for (std::size_t at = 0; at < file.size(); at += (at < dense ? 1 : 37)) {
      for (std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        Bytes changed = file;
        changed[at] = value;
        LoadOrFail(changed);
      }
    }
  }
}

}  // namespace
