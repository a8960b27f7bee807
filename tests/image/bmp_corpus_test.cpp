// The BMP suite: every good file, and the questionable files our reader renders as their
// reference, match that rendering pixel for pixel. The questionable and bad files are all in
// the BMP reader's fuzz corpus, whose replay checks that they load or fail cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "image/custom_dib.h"
#include "tests/libpng_decode.h"

namespace fs = std::filesystem;

namespace {

const fs::path kSuite = fs::path(NIMBREL_CORPUS_DIR) / "bmpsuite";

// Files whose reference rendering is shared with another file of the same picture.
const std::map<std::string, std::string> kSharedReference = {
    {"pal1wb", "pal1"},
    {"pal4rle", "pal4"},
    {"pal8-0", "pal8"},
    {"pal8nonsquare", "pal8nonsquare-e"},
    {"pal8os2", "pal8"},
    {"pal8rle", "pal8"},
    {"pal8topdown", "pal8"},
    {"pal8v4", "pal8"},
    {"pal8v5", "pal8"},
    {"rgb16-565pal", "rgb16-565"},
    {"rgb16bfdef", "rgb16"},
    {"rgb24pal", "rgb24"},
    {"rgb32", "rgb24"},
    {"rgb32bf", "rgb24"},
    {"rgb32bfdef", "rgb24"},
    // questionable files
    {"pal8offs", "pal8"},
    {"pal8os2-hs", "pal8"},
    {"pal8os2-sz", "pal8"},
    {"pal8os2sp", "pal8"},
    {"pal8os2v2", "pal8"},
    {"pal8os2v2-16", "pal8"},
    {"pal8os2v2-40sz", "pal8"},
    {"pal8os2v2-sz", "pal8"},
    {"pal8oversizepal", "pal8"},
    {"rgb24largepal", "rgb24"},
    {"rgb32-xbgr", "rgb24"},
    {"rgb32fakealpha", "rgb24"},
    {"rgb32h52", "rgb24"},
};

// Questionable files that our reader renders exactly as their reference: pixels placed after a
// gap, short and shortened headers, short core colour tables, oversized tables, masks inside
// the header, 2-bit pixels. (Files with transparency are left out: their references are
// composited.)
const char* const kQuestionableThatMatch[] = {
    "pal1p1",         "pal2",           "pal2color",     "pal8offs",
    "pal8os2-hs",     "pal8os2-sz",     "pal8os2sp",     "pal8os2v2",
    "pal8os2v2-16",   "pal8os2v2-40sz", "pal8os2v2-sz",  "pal8oversizepal",
    "rgb16-231",      "rgb16-3103",     "rgb24largepal", "rgb32-xbgr",
    "rgb32fakealpha", "rgb32h52",
};

struct RgbImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;  // top row first
};

// The reference as RGB, read by libpng.
RgbImage ReadReference(const fs::path& path) {
  const LibpngImage decoded = DecodePngFile(path.string(), LibpngForm::Rgba);
  RgbImage out;
  if (!decoded.ok) return out;
  out.width = int(decoded.width);
  out.height = int(decoded.height);
  for (const auto& row : decoded.rows)
    for (std::size_t x = 0; x < decoded.width; ++x)
      out.rgb.insert(out.rgb.end(), row.begin() + std::ptrdiff_t(x * 4),
                     row.begin() + std::ptrdiff_t(x * 4 + 3));
  return out;
}

std::vector<fs::path> FilesIn(const char* folder) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(kSuite / folder))
    if (entry.path().extension() == ".bmp") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::string Name(const testing::TestParamInfo<fs::path>& info) {
  std::string name = info.param.stem().string();
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

class GoodBmp : public testing::TestWithParam<fs::path> {};

TEST_P(GoodBmp, MatchesReference) {
  const std::string stem = GetParam().stem().string();
  const auto shared = kSharedReference.find(stem);
  const RgbImage reference = ReadReference(
      kSuite / "html" / ((shared == kSharedReference.end() ? stem : shared->second) + ".png"));
  ASSERT_GT(reference.width, 0) << "no reference for " << stem;

  TVynCustomDIB image;
  image.LoadFromFile(GetParam().string());
  ASSERT_EQ(image.GetWidth(), reference.width);
  ASSERT_EQ(image.GetHeight(), reference.height);
  TVynCustomInternalDIB& store = *image.Image();
  int mismatches = 0;
  for (int y = 0; y < reference.height; ++y) {
    for (int x = 0; x < reference.width; ++x) {
      const COLORREF c = store.GetPixelColor(x, y);
      const std::uint8_t* want = &reference.rgb[(std::size_t(y) * reference.width + x) * 3];
      if (GetRValue(c) != want[0] || GetGValue(c) != want[1] || GetBValue(c) != want[2]) {
        if (++mismatches <= 3)
          ADD_FAILURE() << stem << " pixel (" << x << ", " << y << ") is " << std::hex << c;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

INSTANTIATE_TEST_SUITE_P(Suite, GoodBmp, testing::ValuesIn(FilesIn("g")), Name);

std::vector<fs::path> QuestionableThatMatch() {
  std::vector<fs::path> files;
  for (const char* stem : kQuestionableThatMatch)
    files.push_back(kSuite / "q" / (std::string(stem) + ".bmp"));
  return files;
}

INSTANTIATE_TEST_SUITE_P(Questionable, GoodBmp, testing::ValuesIn(QuestionableThatMatch()), Name);

}  // namespace
