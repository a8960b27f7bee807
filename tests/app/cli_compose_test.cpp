#include "app/cli_compose.h"

#include <gtest/gtest.h>

#include "app/cli_options.h"
#include "app/cli_test_util.h"
#include "app/libpng_decode.h"
#include "app/temp_folder.h"

namespace {

bool Near(const png_color& c, int r, int g, int b) {
  return std::abs(c.red - r) + std::abs(c.green - g) + std::abs(c.blue - b) < 60;
}

}  // namespace

// From the command line to a file libpng reads: the grey is transparent, the bars sit where the
// window draws them, and the title row has text pixels in both colours.
TEST(CliCompose, WritesACaptionThatLibpngDecodes) {
  TempFolder folder;
  const std::string out = folder.File("caption.png");
  const CliRun run =
      RunCliCommand({"compose", "--title", "星の島", "--second", "2026年12月発売", "--description",
                     "-", "--text-colour", "#FF0000", "--outline-colour", "#0000ff", "-o", out},
                    "夜空に浮かぶ小さな島。\n三つの季節。\n");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");

  const LibpngImage png = DecodePngFile(out);
  ASSERT_TRUE(png.ok) << png.error;
  ASSERT_EQ(png.width, 310u);
  ASSERT_EQ(png.height, 180u);
  const auto transparent = TransparentIndex(png);
  ASSERT_TRUE(transparent.has_value());
  EXPECT_TRUE(Near(png.palette[*transparent], 242, 242, 242));
  EXPECT_EQ(png.At(309, 179), *transparent);

  auto colour = [&](int x, int y) { return png.palette.at(png.At(x, y)); };
  // Upper bar: frame from (2,6) to (308,10), text colour inside; lower bar at 40 under two lines.
  EXPECT_TRUE(Near(colour(2, 6), 0, 0, 255));
  EXPECT_TRUE(Near(colour(150, 8), 255, 0, 0));
  EXPECT_TRUE(Near(colour(2, 40), 0, 0, 255));
  EXPECT_TRUE(Near(colour(150, 42), 255, 0, 0));
  EXPECT_EQ(png.At(1, 8), *transparent);

  int red = 0, blue = 0;
  for (int y = 11; y < 25; ++y)
    for (int x = 0; x < 310; ++x) {
      red += Near(colour(x, y), 255, 0, 0);
      blue += Near(colour(x, y), 0, 0, 255);
    }
  EXPECT_GT(red, 20);
  EXPECT_GT(blue, 20);
}

// The window's notices reach stderr and the caption is still written; a description ending in
// an empty line counts that line as the memo does, so twelve lines are one too many.
TEST(CliCompose, PrintsTheWindowsMessagesAndStillWrites) {
  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "行\n";
  const std::string wide(80, 'W');
  struct Case {
    std::string description;
    std::string err;
  };
  for (const Case& c : {Case{wide + "\n" + eleven + "行\n" + wide + "\n",
                             "1行目を自動調整で文字削除します\n14行目を自動調整で文字削除します\n"
                             "説明は11行までにしてください\n"},
                        Case{eleven, ""}, Case{eleven + "\n", "説明は11行までにしてください\n"},
                        Case{eleven + "\r\n\r\n", "説明は11行までにしてください\n"}}) {
    TempFolder folder;
    const std::string out = folder.File("caption.png");
    const CliRun run = RunCliCommand({"compose", "--description", "-", "-o", out}, c.description);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, c.err);
    EXPECT_TRUE(DecodePngFile(out).ok);
  }
}

struct BadComposeCase {
  const char* name;
  std::vector<std::string> args;
  const char* messagePart;
};

class CliComposeRefuses : public testing::TestWithParam<BadComposeCase> {};

TEST_P(CliComposeRefuses, WithAMessageAndNoFile) {
  TempFolder folder;
  const std::string out = folder.File("caption.png");
  std::vector<std::string> args = {"compose"};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  args.insert(args.end(), {"-o", out});
  const CliRun run = RunCliCommand(args, "絵文字 😀\n");
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find(GetParam().messagePart), std::string::npos) << run.err;
  EXPECT_TRUE(folder.Names().empty());
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, CliComposeRefuses,
    testing::Values(
        BadComposeCase{
            "ColourName", {"--text-colour", "red"}, "bad colour 'red' for --text-colour"},
        BadComposeCase{"ShortColour", {"--outline-colour", "#FFF"}, "--outline-colour"},
        BadComposeCase{"NotHex", {"--outline-colour", "#GG0000"}, "expected #RRGGBB"},
        BadComposeCase{"EmojiTitle", {"--title", "星😀"}, "title: 文字 U+1F600"},
        BadComposeCase{"UnencodableDescription", {"--description", "-"}, "description line 1"},
        BadComposeCase{"UnknownOption", {"--colour", "#000000"}, "unknown option --colour"},
        BadComposeCase{"StrayArgument", {"extra"}, "unexpected argument extra"},
        BadComposeCase{"MissingDescriptionFile",
                       {"--description", "/no/such/file"},
                       "cannot read the description file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CliCompose, NeedsAnOutputFile) {
  const CliRun run = RunCliCommand({"compose", "--title", "x"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("no output file"), std::string::npos);
}

TEST(CliCompose, AnUnwritableOutputFailsWithTheCreateError) {
  const CliRun run = RunCliCommand({"compose", "-o", "/no/such/folder/x.png"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("ファイル /no/such/folder/x.png を作成できません"), std::string::npos)
      << run.err;
}

TEST(CliOptions, ColoursAreRedGreenBlueInTheLowByteFirstOrder) {
  EXPECT_EQ(ParseColour("#FF0000", "-"), 0x0000FFu);
  EXPECT_EQ(ParseColour("#00ff00", "-"), 0x00FF00u);
  EXPECT_EQ(ParseColour("#0000FF", "-"), 0xFF0000u);
  EXPECT_EQ(ParseColour("#F2F2F2", "-"), 15921906u);
}

TEST(CliOptions, ValuesComeAfterTheOptionOrAfterAnEqualsSign) {
  const ParsedArguments parsed = ParseArguments(
      {"--title=a=b", "--second", "-", "x", "--", "--title"}, {"--title", "--second"}, {});
  EXPECT_EQ(parsed.Value("--title"), "a=b");
  EXPECT_EQ(parsed.Value("--second"), "-");
  EXPECT_EQ(parsed.positional, (std::vector<std::string>{"x", "--title"}));
  EXPECT_THROW(ParseArguments({"--title"}, {"--title"}, {}), CliUsageError);
  EXPECT_THROW(ParseArguments({"--title", "a", "--title", "b"}, {"--title"}, {}), CliUsageError);
}

TEST(CliDescription, LinesSplitAsTheMemoHoldsThem) {
  EXPECT_EQ(SplitDescription(""), std::vector<std::string>{""});
  EXPECT_EQ(SplitDescription("a\r\nb\n"), (std::vector<std::string>{"a", "b", ""}));
  EXPECT_EQ(SplitDescription("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitDescription("a\n\n"), (std::vector<std::string>{"a", "", ""}));
}
