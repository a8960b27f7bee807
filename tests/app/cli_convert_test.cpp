#include "app/cli_convert.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/cli_info.h"
#include "app/cli_options.h"
#include "app/cli_test_util.h"
#include "app/json_reader.h"
#include "app/release.h"
#include "app/save_command.h"
#include "app/temp_folder.h"
#include "app/window_options.h"
#include "png/png_limits.h"
#include "png/ux_png.h"
#include "tests/libpng_decode.h"
#include "tests/png/png_reader_test_util.h"

namespace {

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

// Text past the reader's limit never reaches the image: convert still writes the picture, and
// says once that the text it writes was cut, unless told to be quiet or writing a BMP.
TEST(CliConvert, SaysWhenTheTextItWritesWasCut) {
  TempFolder folder;
  pngread::Bytes ztxt = {'k', 0, 0};
  const pngread::Bytes text = pngread::Deflate(pngread::Bytes(kMaxTextBytes + 1, 'a'));
  ztxt.insert(ztxt.end(), text.begin(), text.end());
  const pngread::Bytes file =
      pngread::PngBuilder().IHDR(1, 1, 8, 0).Chunk("zTXt", ztxt).IDAT({0, 0}).End();
  const std::string in = folder.File("long text.png");
  WriteFileBytes(in, std::string(file.begin(), file.end()));

  const CliRun run = RunCliCommand({"convert", in, folder.File("out.png")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, in + ": text cut to its first 4 MiB\n");
  TUxPNG written;
  written.LoadFromFile(folder.File("out.png"));
  EXPECT_EQ(written.FInfoText.bytes().size(), kMaxTextBytes);
  EXPECT_EQ(RunCliCommand({"convert", "-q", in, folder.File("quiet.png")}).err, "");
  EXPECT_EQ(RunCliCommand({"convert", in, folder.File("out.bmp")}).err, "");
}

TEST(CliConvert, RefusesUnknownExtensionsAndReportsUnreadableInput) {
  TempFolder folder;
  EXPECT_EQ(RunCliCommand({"convert", "a.png", folder.File("b.gif")}).status, kExitUsage);
  EXPECT_EQ(RunCliCommand({"convert", "a.png"}).status, kExitUsage);
  const CliRun missing = RunCliCommand({"convert", folder.File("none.png"), folder.File("b.png")});
  EXPECT_EQ(missing.status, kExitFailed);
  EXPECT_NE(missing.err.find("none.png を開けません: No such file or directory"), std::string::npos)
      << missing.err;
  const CliRun unknown = RunCliCommand({"convert", "-", folder.File("b.png")}, "GIF89a");
  EXPECT_EQ(unknown.status, kExitFailed);
  EXPECT_EQ(unknown.err,
            "nimbrel-cli: standard input: cannot tell the format: it is neither PNG nor BMP\n");
  WriteFileBytes(folder.File("junk.png"),
                 std::string("not a png at all") + std::string(1024, '\0'));
  WriteFileBytes(folder.File("old.bmp"), "keep me");
  const CliRun run = RunCliCommand({"convert", folder.File("junk.png"), folder.File("old.bmp")});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_EQ(run.err,
            "nimbrel-cli: " + folder.File("junk.png") + ": PNG LoadStream: Not PNG Format\n");
  EXPECT_EQ(ReadFileBytes(folder.File("old.bmp")), "keep me");
}

// The input's format is its content's, whatever its name; "-" reads stdin and, with --format,
// writes stdout.
TEST(CliConvert, ReadsByContentAndStreamsThroughStandardInputAndOutput) {
  TempFolder folder;
  const std::string png = ComposeSample(folder);
  const std::string bmp = folder.File("sample.bmp");
  ASSERT_EQ(RunCliCommand({"convert", png, bmp}).status, 0);
  const std::string misnamed = folder.File("really-a-bmp.png");
  std::filesystem::copy_file(bmp, misnamed);

  const CliRun fromMisnamed = RunCliCommand({"convert", misnamed, folder.File("back.png")});
  ASSERT_EQ(fromMisnamed.status, 0) << fromMisnamed.err;
  const CliRun piped = RunCliCommand({"convert", "--format", "png", "-", "-"}, ReadFileBytes(bmp));
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, ReadFileBytes(folder.File("back.png")));
  const CliRun toBmp = RunCliCommand({"convert", "--format=bmp", "-", "-"}, ReadFileBytes(png));
  EXPECT_EQ(toBmp.out, ReadFileBytes(bmp));
  const CliRun toStdout = RunCliCommand({"convert", bmp, "-"});
  EXPECT_EQ(toStdout.status, 0);
  EXPECT_EQ(toStdout.out, piped.out);  // standard output takes PNG unless told otherwise
}

TEST(Cli, HelpForEachCommand) {
  for (const char* command : {"compose", "batch", "info", "convert"}) {
    const CliRun help = RunCliCommand({"help", command});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, RunCliCommand({command, "-h"}).out);
  }
  EXPECT_EQ(RunCliCommand({"help", "draw"}).status, kExitUsage);
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
