// Every picture of the corpus decodes as libpng decodes it, with the side data libpng reports;
// every deliberately broken PngSuite file fails with an exception. One test per folder and
// rule: each failure names its file.
#include <filesystem>

#include "tests/png/load_outcome.h"
#include "tests/png/png_reader_test_util.h"

namespace {

using namespace pngread;

// The files of a corpus folder, the broken ones (named x…) or the others. A folder without
// any fails the test: a missing corpus must not pass as an empty one.
std::vector<std::string> CorpusFiles(const std::string& folder, bool broken) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusPath(folder))) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".png") continue;
    if ((name[0] == 'x') == broken) names.push_back(folder + "/" + name);
  }
  std::sort(names.begin(), names.end());
  EXPECT_FALSE(names.empty()) << "no files in " << CorpusPath(folder);
  return names;
}

void ExpectLoadsAsLibpngDecodes(const std::string& path) {
  SCOPED_TRACE(path);
  const Bytes bytes = ReadFile(CorpusPath(path));
  TUxPNG image;
  ASSERT_NO_THROW(Load(image, bytes)) << LoadError(bytes);
  ExpectSamePicture(StoreToRgba(image.Image()->Desc()), DecodeWithLibpng(bytes), path);
  EXPECT_EQ(image.FInfoFormat, 13);
}

TEST(CorpusAgreement, PngSuiteLoadsAndAgreesWithLibpng) {
  for (const std::string& path : CorpusFiles("pngsuite", false)) ExpectLoadsAsLibpngDecodes(path);
}

TEST(CorpusAgreement, PhotosLoadAndAgreeWithLibpng) {
  for (const std::string& path : CorpusFiles("photos", false)) ExpectLoadsAsLibpngDecodes(path);
}

// Image data is inflated whole when it fits a buffer and in pieces otherwise; both must end
// every load alike, broken files included.
TEST(CorpusAgreement, InflatingWholeAndInPiecesEndAlike) {
  const std::pair<const char*, bool> sets[] = {
      {"pngsuite", false}, {"pngsuite", true}, {"photos", false}};
  for (const auto& [folder, broken] : sets)
    for (const std::string& path : CorpusFiles(folder, broken)) {
      const Bytes bytes = ReadFile(CorpusPath(path));
      const auto [whole, streamed] = PngLoadOutcomesBothWays(bytes.data(), bytes.size());
      EXPECT_TRUE(InflatePathsAgree(whole, streamed))
          << path << ": " << whole.substr(0, 60) << " / " << streamed.substr(0, 60);
    }
}

// Files whose only fault is a chunk CRC: CRCs are not checked, so they load.
bool OnlyCrcBroken(const std::string& path) {
  return path.ends_with("/xcsn0g01.png") || path.ends_with("/xhdn0g08.png");
}

TEST(BrokenCorpus, FailsWithExceptionUnlessOnlyTheCrcIsWrong) {
  for (const std::string& path : CorpusFiles("pngsuite", true)) {
    const Bytes bytes = ReadFile(CorpusPath(path));
    const std::string error = LoadError(bytes);
    if (OnlyCrcBroken(path)) {
      EXPECT_EQ(error, "") << path;
      TUxPNG image;
      Load(image, bytes);
      ExpectSamePicture(StoreToRgba(image.Image()->Desc()), DecodeWithLibpng(bytes), path);
    } else {
      EXPECT_NE(error, "") << path << " loaded";
    }
  }
}

// A 16-bit sample in the image's scale: 16-bit images keep the high byte.
DWORD Level(const LibpngImage& png, png_uint_16 v) {
  return png.bitDepth == 16 ? DWORD(v >> 8) : DWORD(v & 0xFF);
}

COLORREF ColorOf(const LibpngImage& png, const png_color_16& c) {
  return RGB(BYTE(Level(png, c.red)), BYTE(Level(png, c.green)), BYTE(Level(png, c.blue)));
}

// The palette alpha reaches the store as an alpha table, or as one transparent index when the
// table holds a single 0 among 255s; a grey key as an index into the grey ramp; a colour key
// as a colour. Without tRNS there is no key.
void ExpectSameColorKey(const LibpngImage& png, const TVynDIBDesc& d) {
  if (!png.transparency.empty()) {
    if (AlphaMode(d) == kAlphaModeTable) {
      for (std::size_t i = 0; i < png.transparency.size(); ++i)
        EXPECT_EQ(AlphaTable(d)[i], png.transparency[i]) << "alpha " << i;
    } else {
      ASSERT_EQ(TransMode(d), kKeyModeIndex);
      for (std::size_t i = 0; i < png.transparency.size(); ++i)
        EXPECT_EQ(png.transparency[i], DWORD(i) == d.TransValue ? 0 : 255) << "alpha " << i;
    }
  } else if (png.transparentColor && png.colorType == PNG_COLOR_TYPE_GRAY) {
    EXPECT_EQ(TransMode(d), kKeyModeIndex);
    EXPECT_EQ(d.TransValue, Level(png, png.transparentColor->gray));
  } else if (png.transparentColor) {
    EXPECT_EQ(TransMode(d), kKeyModeColor);
    EXPECT_EQ(d.TransValue, ColorOf(png, *png.transparentColor));
  } else {
    EXPECT_EQ(TransMode(d), kKeyModeNone);
    EXPECT_NE(AlphaMode(d), kAlphaModeTable);
  }
}

// A palette background is an index; a grey one an index into the grey ramp, or a grey colour
// when the image has alpha (its store is 32-bit colour); a colour one a colour.
void ExpectSameBackground(const LibpngImage& png, const TVynDIBDesc& d) {
  if (!png.background) {
    EXPECT_EQ(BGMode(d), kKeyModeNone);
    return;
  }
  const png_color_16& bg = *png.background;
  switch (png.colorType) {
    case PNG_COLOR_TYPE_PALETTE:
      EXPECT_EQ(BGMode(d), kKeyModeIndex);
      EXPECT_EQ(d.BGValue, DWORD(bg.index));
      break;
    case PNG_COLOR_TYPE_GRAY:
      EXPECT_EQ(BGMode(d), kKeyModeIndex);
      EXPECT_EQ(d.BGValue, Level(png, bg.gray));
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA: {
      const BYTE v = BYTE(Level(png, bg.gray));
      EXPECT_EQ(BGMode(d), kKeyModeColor);
      EXPECT_EQ(d.BGValue, RGB(v, v, v));
      break;
    }
    default:
      EXPECT_EQ(BGMode(d), kKeyModeColor);
      EXPECT_EQ(d.BGValue, ColorOf(png, bg));
      break;
  }
}

TEST(CorpusSideData, KeysBackgroundGammaResolutionAndOffsetsMatchLibpng) {
  for (const std::string& path : CorpusFiles("pngsuite", false)) {
    SCOPED_TRACE(path);
    const Bytes bytes = ReadFile(CorpusPath(path));
    const LibpngImage png = DecodePng(bytes, LibpngForm::Samples, LibpngCrc::Ignore);
    ASSERT_TRUE(png.ok) << png.error;
    TUxPNG image;
    Load(image, bytes);
    const TVynDIBDesc& d = image.Image()->Desc();
    ExpectSameColorKey(png, d);
    ExpectSameBackground(png, d);
    EXPECT_EQ(d.Gamma, png.gamma ? DWORD(*png.gamma) : 0u);
    if (png.resolution) {
      EXPECT_EQ(d.UnitSpecifier, png.resolution->unit);
      EXPECT_EQ(d.WidthSpecific, int(png.resolution->x));
      EXPECT_EQ(d.HeightSpecific, int(png.resolution->y));
    } else {
      EXPECT_EQ(d.UnitSpecifier, 0);
      EXPECT_EQ(d.WidthSpecific, 0);
      EXPECT_EQ(d.HeightSpecific, 0);
    }
    // Only offsets in pixels mean anything to the image.
    const bool pixelOffset = png.offset && png.offset->unit == PNG_OFFSET_PIXEL;
    EXPECT_EQ(image.FInfoOffsetX, pixelOffset ? png.offset->x : 0);
    EXPECT_EQ(image.FInfoOffsetY, pixelOffset ? png.offset->y : 0);
  }
}

}  // namespace
