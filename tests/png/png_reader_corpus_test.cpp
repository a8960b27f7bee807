// Every picture of the shared corpus decodes as libpng decodes it; every deliberately
// broken PngSuite file fails with an exception.
#include <filesystem>

#include "tests/png/png_reader_test_util.h"

namespace {

using namespace pngread;

std::vector<std::string> CorpusFiles(const std::string& folder, bool broken) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusPath(folder))) {
    const std::string name = entry.path().filename().string();
    if (entry.path().extension() != ".png") continue;
    if ((name[0] == 'x') == broken) names.push_back(folder + "/" + name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string TestName(const testing::TestParamInfo<std::string>& info) {
  std::string name = info.param.substr(info.param.find('/') + 1);
  name = name.substr(0, name.size() - 4);
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

class CorpusAgreement : public testing::TestWithParam<std::string> {};

TEST_P(CorpusAgreement, LoadsAndAgreesWithLibpng) {
  const Bytes bytes = ReadFile(CorpusPath(GetParam()));
  TUxPNG image;
  ASSERT_NO_THROW(Load(image, bytes)) << LoadError(bytes);
  ExpectSamePicture(StoreToRgba(image.Image()->Desc()), DecodeWithLibpng(bytes), GetParam());
  EXPECT_EQ(image.FInfoFormat, 13);
}

INSTANTIATE_TEST_SUITE_P(PngSuite, CorpusAgreement,
                         testing::ValuesIn(CorpusFiles("pngsuite", false)), TestName);
INSTANTIATE_TEST_SUITE_P(Photos, CorpusAgreement, testing::ValuesIn(CorpusFiles("photos", false)),
                         TestName);

// Files whose only fault is a chunk CRC: CRCs are not checked, so they load.
bool OnlyCrcBroken(const std::string& path) {
  return path.ends_with("/xcsn0g01.png") || path.ends_with("/xhdn0g08.png");
}

class BrokenCorpus : public testing::TestWithParam<std::string> {};

TEST_P(BrokenCorpus, FailsWithExceptionUnlessOnlyTheCrcIsWrong) {
  const Bytes bytes = ReadFile(CorpusPath(GetParam()));
  const std::string error = LoadError(bytes);
  if (OnlyCrcBroken(GetParam())) {
    EXPECT_EQ(error, "");
    TUxPNG image;
    Load(image, bytes);
    ExpectSamePicture(StoreToRgba(image.Image()->Desc()), DecodeWithLibpng(bytes), GetParam());
  } else {
    EXPECT_NE(error, "") << GetParam() << " loaded";
  }
}

INSTANTIATE_TEST_SUITE_P(PngSuite, BrokenCorpus, testing::ValuesIn(CorpusFiles("pngsuite", true)),
                         TestName);

// The palette alpha of every PngSuite palette file with tRNS reaches the store: as an alpha
// table, or as one transparent index when the table holds a single 0 among 255s.
TEST(CorpusPaletteAlpha, MatchesLibpngTRNS) {
  for (const std::string& path : CorpusFiles("pngsuite", false)) {
    const Bytes bytes = ReadFile(CorpusPath(path));
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    struct Reader {
      const Bytes* bytes;
      std::size_t pos;
    } reader{&bytes, 0};
    png_bytep trans = nullptr;
    int count = 0;
    std::vector<std::uint8_t> alpha;
    if (setjmp(png_jmpbuf(png)) == 0) {
      png_set_read_fn(png, &reader, [](png_structp p, png_bytep data, png_size_t n) {
        auto* r = static_cast<Reader*>(png_get_io_ptr(p));
        if (r->bytes->size() - r->pos < n) png_error(p, "end of data");
        std::memcpy(data, r->bytes->data() + r->pos, n);
        r->pos += n;
      });
      png_read_info(png, info);
      if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE &&
          png_get_tRNS(png, info, &trans, &count, nullptr))
        alpha.assign(trans, trans + count);
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (alpha.empty()) continue;
    TUxPNG image;
    Load(image, bytes);
    const TVynDIBDesc& d = image.Image()->Desc();
    if (AlphaMode(d) == kAlphaModeTable) {
      for (int i = 0; i < count; ++i) EXPECT_EQ(AlphaTable(d)[i], alpha[i]) << path << " " << i;
    } else {
      ASSERT_EQ(TransMode(d), kKeyModeIndex) << path;
      for (int i = 0; i < count; ++i)
        EXPECT_EQ(alpha[i], DWORD(i) == d.TransValue ? 0 : 255) << path << " " << i;
    }
  }
}

}  // namespace
