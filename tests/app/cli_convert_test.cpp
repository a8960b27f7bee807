#include "app/cli_convert.h"

#include <gtest/gtest.h>

#include "app/cli_info.h"
#include "app/cli_options.h"
#include "app/cli_test_util.h"
#include "app/libpng_decode.h"
#include "app/release.h"
#include "app/temp_folder.h"
#include "app/window_options.h"

namespace {

// A caption written by compose: 8 bits, the grey as colour key, text in two colours.
std::string ComposeSample(const TempFolder& folder) {
  const std::string path = folder.File("sample.png");
  const CliRun run = RunCliCommand({"compose", "--title", "変換", "--second", "2026", "-o", path});
  EXPECT_EQ(run.status, 0) << run.err;
  return path;
}

// The picture as colours, so files with different palettes compare.
std::vector<png_color> Colours(const LibpngImage& image) {
  std::vector<png_color> colours;
  for (const auto& row : image.rows)
    for (std::uint32_t x = 0; x < image.width; ++x) colours.push_back(image.palette.at(row[x]));
  return colours;
}

bool SameColours(const std::vector<png_color>& a, const std::vector<png_color>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const png_color& p, const png_color& q) {
                      return p.red == q.red && p.green == q.green && p.blue == q.blue;
                    });
}

}  // namespace

TEST(CliConvert, PngThroughBmpAndBackKeepsEveryPixel) {
  TempFolder folder;
  const std::string png = ComposeSample(folder);
  const std::string bmp = folder.File("sample.BMP");
  const std::string back = folder.File("back.png");
  ASSERT_EQ(RunCliCommand({"convert", png, bmp}).status, 0);
  EXPECT_EQ(ReadFileBytes(bmp).substr(0, 2), "BM");
  const CliRun run = RunCliCommand({"convert", bmp, back});
  ASSERT_EQ(run.status, 0) << run.err;

  const LibpngImage original = DecodePngFile(png);
  const LibpngImage returned = DecodePngFile(back);
  ASSERT_TRUE(returned.ok) << returned.error;
  EXPECT_EQ(returned.width, original.width);
  EXPECT_EQ(returned.height, original.height);
  EXPECT_TRUE(SameColours(Colours(original), Colours(returned)));
}

TEST(CliConvert, PngToPngKeepsTheColourKeys) {
  TempFolder folder;
  const std::string png = ComposeSample(folder);
  const std::string copy = folder.File("copy.png");
  ASSERT_EQ(RunCliCommand({"convert", png, copy}).status, 0);
  const LibpngImage original = DecodePngFile(png);
  const LibpngImage copied = DecodePngFile(copy);
  ASSERT_TRUE(copied.ok);
  EXPECT_EQ(TransparentIndex(copied), TransparentIndex(original));
  EXPECT_EQ(copied.backgroundIndex, original.backgroundIndex);
  EXPECT_TRUE(SameColours(Colours(original), Colours(copied)));
}

TEST(CliConvert, RefusesUnknownExtensionsAndReportsUnreadableInput) {
  TempFolder folder;
  EXPECT_EQ(RunCliCommand({"convert", "a.gif", folder.File("b.png")}).status, kExitUsage);
  EXPECT_EQ(RunCliCommand({"convert", "a.png"}).status, kExitUsage);
  WriteFileBytes(folder.File("junk.png"),
                 std::string("not a png at all") + std::string(1024, '\0'));
  WriteFileBytes(folder.File("old.bmp"), "keep me");
  const CliRun run = RunCliCommand({"convert", folder.File("junk.png"), folder.File("old.bmp")});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("PNG LoadStream: Not PNG Format"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFileBytes(folder.File("old.bmp")), "keep me");
}

TEST(CliInfo, ReportsWhatTheReaderSees) {
  TempFolder folder;
  const std::string png = ComposeSample(folder);
  const CliRun run = RunCliCommand({"info", png});
  ASSERT_EQ(run.status, 0) << run.err;
  const LibpngImage decoded = DecodePngFile(png);
  for (const std::string& line : std::vector<std::string>{
           "size: 310 x 180\n", "bit count: 8\n",
           "palette entries: " + std::to_string(decoded.palette.size()) + "\n",
           "(palette index " + std::to_string(*TransparentIndex(decoded)) + ")\n", "gamma: none\n",
           "offset: 0, 0\n"})
    EXPECT_NE(run.out.find(line), std::string::npos) << line << "\n" << run.out;
}

TEST(CliInfo, AFileThatIsNotPngFails) {
  TempFolder folder;
  WriteFileBytes(folder.File("x.png"), "GIF89a" + std::string(1024, '\0'));
  const CliRun run = RunCliCommand({"info", folder.File("x.png")});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("PNG LoadStream: Not PNG Format"), std::string::npos) << run.err;
}

TEST(Cli, UnknownCommandHelpAndVersion) {
  EXPECT_EQ(RunCliCommand({}).status, kExitUsage);
  EXPECT_EQ(RunCliCommand({"draw"}).status, kExitUsage);
  for (const char* command : {"compose", "batch", "info", "convert"}) {
    const CliRun run = RunCliCommand({command, "--help"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(std::string("nimbrel-cli ") + command), std::string::npos);
  }
  const CliRun version = RunCliCommand({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "nimbrel-cli " NIMBREL_VERSION "\n");
}

// The window program answers these before Qt needs a display, and leaves Qt its own options.
TEST(WindowOptions, VersionAndHelpAnsweredOthersLeftToQt) {
  struct Case {
    std::vector<const char*> argv;
    std::optional<int> status;
    std::string output;
  };
  for (const Case& c : {Case{{"nimbrel"}, std::nullopt, ""},
                        Case{{"nimbrel", "-platform", "offscreen"}, std::nullopt, ""},
                        Case{{"nimbrel", "--version"}, 0, "nimbrel " NIMBREL_VERSION "\n"},
                        Case{{"nimbrel", "-platform", "xcb", "--help"}, 0, "Usage: nimbrel"}}) {
    std::ostringstream out;
    EXPECT_EQ(AnswerWindowOption(int(c.argv.size()), c.argv.data(), out), c.status);
    EXPECT_EQ(out.str().substr(0, c.output.size()), c.output);
    if (!c.status) {
      EXPECT_EQ(out.str(), "");
    }
  }
}
