#include "app/cli_compose.h"

#include <gtest/gtest.h>

#include <QColor>

#include <algorithm>

#include "app/cli_options.h"
#include "app/cli_string_window.h"
#include "app/cli_test_util.h"
#include "app/temp_folder.h"
#include "platform/ansi_string.h"
#include "tests/libpng_decode.h"

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
  std::string page = eleven;  // a pasted page: the surplus goes in one step, not line by line
  for (int i = 0; i < 100000; ++i) page += "頁\n";
  struct Case {
    std::string description;
    std::string err;
  };
  for (const Case& c : {Case{wide + "\n" + eleven + "行\n" + wide + "\n",
                             "1行目を自動調整で文字削除します\n14行目を自動調整で文字削除します\n"
                             "説明は11行までにしてください\n"},
                        Case{eleven, ""}, Case{eleven + "\n", "説明は11行までにしてください\n"},
                        Case{eleven + "\r\n\r\n", "説明は11行までにしてください\n"},
                        Case{page, "説明は11行までにしてください\n"}}) {
    TempFolder folder;
    const std::string out = folder.File("caption.png");
    const CliRun run = RunCliCommand({"compose", "--description", "-", "-o", out}, c.description);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, c.err);
    EXPECT_TRUE(DecodePngFile(out).ok);
    // Whatever was cut, what is drawn is the first eleven lines.
    const std::string kept = folder.File("kept.png");
    ASSERT_EQ(RunCliCommand({"compose", "--description", "-", "-o", kept}, eleven).status, 0);
    if (c.description.find('W') == std::string::npos) {
      EXPECT_EQ(ReadFileBytes(out), ReadFileBytes(kept));
    }
  }
}

struct BadComposeCase {
  const char* name;
  std::vector<std::string> args;
  std::string message;  // the whole of stderr, or a part of it for a usage mistake
  std::string input = "絵文字 😀\n";
  int status = kExitUsage;  // 1 for a file's failure, its text included
};

class CliComposeRefuses : public testing::TestWithParam<BadComposeCase> {};

TEST_P(CliComposeRefuses, WithAMessageAndNoFile) {
  TempFolder folder;
  const std::string out = folder.File("caption.png");
  std::vector<std::string> args = {"compose"};
  args.insert(args.end(), GetParam().args.begin(), GetParam().args.end());
  args.insert(args.end(), {"-o", out});
  const CliRun run = RunCliCommand(args, GetParam().input);
  EXPECT_EQ(run.status, GetParam().status);
  if (run.err.find("Try 'nimbrel-cli compose --help'") == std::string::npos) {
    EXPECT_EQ(run.err, GetParam().message);
  } else {
    EXPECT_NE(run.err.find(GetParam().message), std::string::npos) << run.err;
  }
  EXPECT_TRUE(folder.Names().empty());
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, CliComposeRefuses,
    testing::Values(
        BadComposeCase{"UnknownColourName",
                       {"--text-colour", "reddish"},
                       "bad colour 'reddish' for --text-colour: expected #RRGGBB, #RGB, RRGGBB or "
                       "a colour name such as red or navy"},
        BadComposeCase{"FourDigitColour", {"--outline-colour", "#FFFF"}, "--outline-colour"},
        BadComposeCase{"NotHex", {"--outline-colour", "#GG0000"}, "expected #RRGGBB"},
        BadComposeCase{"EmojiTitle",
                       {"--title", "星😀☃"},
                       "nimbrel-cli: title: 文字 U+1F600, U+2603 は Shift_JIS で表せません\n"},
        BadComposeCase{"TabInTitle",
                       {"--title", "星\t島"},
                       "nimbrel-cli: title: a tab at byte 3 cannot be drawn: give one line of "
                       "text\n"},
        BadComposeCase{"LineBreakInSecondLine",
                       {"--second", "2026\r\n"},
                       "nimbrel-cli: second line: a line break at byte 4 cannot be drawn: give "
                       "one line of text\n"},
        BadComposeCase{"EscapeInTitle",
                       {"--title", "a\x1B[2J"},
                       "nimbrel-cli: title: control character U+001B at byte 1 cannot be drawn: "
                       "give one line of text\n"},
        // Every line at fault, each character once per line, in the file:line: form.
        BadComposeCase{"UnencodableDescription",
                       {"--description", "-"},
                       "nimbrel-cli: standard input:1: 文字 U+1F600 は Shift_JIS で表せません\n"
                       "nimbrel-cli: standard input:3: 文字 U+2603, U+1F600 は Shift_JIS で表せ"
                       "ません\n",
                       "絵文字 😀😀\n二行目\n☃ 😀\n",
                       kExitFailed},
        BadComposeCase{"UnknownOption", {"--colour", "#000000"}, "unknown option --colour"},
        BadComposeCase{"StrayArgument", {"extra"}, "unexpected argument extra"},
        BadComposeCase{"MissingDescriptionFile",
                       {"--description", "/no/such/file"},
                       "nimbrel-cli: ファイル /no/such/file を開けません: No such file or "
                       "directory\n",
                       "",
                       kExitFailed},
        BadComposeCase{"MalformedUtf8Title",
                       {"--title", "ab\xC3("},
                       "nimbrel-cli: title: invalid UTF-8 at byte 2\n"},
        BadComposeCase{"ShiftJisReadAsUtf8",
                       {"--description", "-"},
                       "nimbrel-cli: standard input:2: invalid UTF-8 at byte 6 (the text reads as "
                       "Shift_JIS: give --encoding cp932)\n",
                       "\xEF\xBB\xBFok\n\x90\xAF\x82\xCC\x93\x87\n",
                       kExitFailed},
        BadComposeCase{"MalformedUtf8NotShiftJis",
                       {"--description", "-"},
                       "nimbrel-cli: standard input:1: invalid UTF-8 at byte 3\n",
                       "caf\xE9\n",
                       kExitFailed},
        BadComposeCase{"MalformedShiftJis",
                       {"--description", "-", "--encoding", "CP932"},
                       "nimbrel-cli: standard input:2: invalid Shift_JIS at byte 5\n",
                       "ok\n\x90\xAF\x81\x20\n",
                       kExitFailed},
        BadComposeCase{"UnknownEncoding", {"--encoding", "latin1"}, "unknown encoding 'latin1'"},
        BadComposeCase{"UnknownFormat", {"--format", "gif"}, "unknown format 'gif': use png|bmp"},
        BadComposeCase{"ValueForAFlag", {"--strict=yes"}, "option --strict takes no value"},
        BadComposeCase{
            "AmbiguousOption", {"--t", "x"}, "ambiguous option --t (--title, --text-colour)"}),
    [](const auto& info) { return std::string(info.param.name); });

// A megabyte typed by mistake comes back as a few hundred bytes and an ellipsis, its control
// characters escaped.
TEST(CliCompose, QuotesLongAndControlValuesShortAndEscaped) {
  const std::string huge = "\x1B" + std::string(1 << 20, 'x');
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--text-colour", huge}, {"--format", huge}, {"--" + huge}}) {
    std::vector<std::string> command = {"compose", "-o", "x.png"};
    command.insert(command.end(), args.begin(), args.end());
    const CliRun run = RunCliCommand(command);
    EXPECT_EQ(run.status, kExitUsage);
    EXPECT_LT(run.err.size(), 600u);
    EXPECT_NE(run.err.find("\\x1Bxxx"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("xx…"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1B'), std::string::npos);
  }
}

TEST(CliCompose, NeedsAnOutputFile) {
  const CliRun run = RunCliCommand({"compose", "--title", "x"});
  EXPECT_EQ(run.status, kExitUsage);
  EXPECT_NE(run.err.find("no output file"), std::string::npos);
}

TEST(CliCompose, AnUnwritableOutputFailsWithTheCreateErrorAndItsReason) {
  const CliRun run = RunCliCommand({"compose", "-o", "/no/such/folder/x.png"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_EQ(run.err,
            "nimbrel-cli: ファイル /no/such/folder/x.png を作成できません: No such file or "
            "directory\n");
}

// .png writes PNG, .bmp our BMP, --format either whatever the name, and "-" standard output;
// any other extension is refused rather than guessed.
TEST(CliCompose, TheFormatFollowsTheNameOrFormat) {
  TempFolder folder;
  const WorkingFolder inside(folder.Path());  // where a file named "-" would appear
  const std::vector<std::string> texts = {"compose", "--title", "形式"};
  auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), texts.begin(), texts.end());
    return RunCliCommand(args);
  };
  ASSERT_EQ(run({"-o", "a.png"}).status, 0);
  ASSERT_EQ(run({"-o", "b.BMP"}).status, 0);
  ASSERT_EQ(run({"-o", "c.png", "--format", "bmp"}).status, 0);
  const CliRun png = run({"--format=PNG", "-o", "-"});
  const CliRun bmp = run({"-o-", "--format", "bmp"});
  EXPECT_EQ(png.out, ReadFileBytes("a.png"));
  EXPECT_EQ(ReadFileBytes("a.png").substr(0, 4), "\x89PNG");
  EXPECT_EQ(bmp.out, ReadFileBytes("b.BMP"));
  EXPECT_EQ(ReadFileBytes("c.png"), ReadFileBytes("b.BMP"));
  EXPECT_EQ(ReadFileBytes("b.BMP").substr(0, 2), "BM");

  // Standard output and a name without an extension take the caption's format, PNG.
  EXPECT_EQ(run({"-o", "-"}).out, ReadFileBytes("a.png"));
  ASSERT_EQ(run({"-o", "plain"}).status, 0);
  EXPECT_EQ(ReadFileBytes("plain"), ReadFileBytes("a.png"));
  const CliRun jpeg = run({"-o", "d.jpg"});
  EXPECT_EQ(jpeg.status, kExitUsage);
  EXPECT_NE(jpeg.err.find("cannot tell the format of d.jpg: name it .png or .bmp"),
            std::string::npos);
  // A picture is not written to a terminal; a file named while one is there is.
  const CliRun terminal = RunCliCommand({"compose", "-o", "-"}, "", true);
  EXPECT_EQ(terminal.status, kExitUsage);
  EXPECT_EQ(terminal.out, "");
  EXPECT_NE(terminal.err.find("not writing a picture to a terminal"), std::string::npos);
  EXPECT_EQ(RunCliCommand({"compose", "-o", "e.png"}, "", true).status, 0);
  std::vector<std::string> names = folder.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"a.png", "b.BMP", "c.png", "e.png", "plain"}));
}

// A description in code page 932, or in UTF-8 after a byte-order mark, draws what the plain
// UTF-8 text draws.
TEST(CliCompose, ReadsShiftJisAndSkipsAByteOrderMark) {
  TempFolder folder;
  const std::string utf8 = "星の島\n二行目\n";
  const std::string sjis = AnsiString::FromUtf8(utf8).bytes();
  auto compose = [&](const std::string& name, const std::string& input,
                     std::vector<std::string> extra) {
    std::vector<std::string> args = {"compose", "--description", "-", "-o", folder.File(name)};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_EQ(RunCliCommand(args, input).status, 0) << name;
    return ReadFileBytes(folder.File(name));
  };
  const std::string plain = compose("plain.png", utf8, {});
  EXPECT_EQ(compose("bom.png", "\xEF\xBB\xBF" + utf8, {}), plain);
  for (const char* name : {"cp932", "sjis", "Shift_JIS"})
    EXPECT_EQ(compose(std::string(name) + ".png", sjis, {"--encoding", name}), plain) << name;
}

// --strict turns the window's notices into a failure that writes nothing; -q drops them.
TEST(CliCompose, StrictFailsOnANoticeAndQuietDropsNotices) {
  TempFolder folder;
  const std::string wide = std::string(80, 'W') + "\n";
  const CliRun strict = RunCliCommand(
      {"compose", "--strict", "--description", "-", "-o", folder.File("s.png")}, wide);
  EXPECT_EQ(strict.status, kExitFailed);
  EXPECT_EQ(strict.err,
            "1行目を自動調整で文字削除します\nnimbrel-cli: not written: the window had to cut the "
            "description (--strict)\n");
  const CliRun quiet = RunCliCommand(
      {"compose", "-q", "--strict", "--description", "-", "-o", folder.File("q.png")}, wide);
  EXPECT_EQ(quiet.status, kExitFailed);
  EXPECT_EQ(quiet.err.find("行目"), std::string::npos);
  EXPECT_TRUE(folder.Names().empty());

  const CliRun fits = RunCliCommand(
      {"compose", "--strict", "--description", "-", "-o", folder.File("f.png")}, "短い\n");
  EXPECT_EQ(fits.status, 0);
  const CliRun quietWide =
      RunCliCommand({"compose", "--quiet", "--description", "-", "-o", folder.File("w.png")}, wide);
  EXPECT_EQ(quietWide.status, 0);
  EXPECT_EQ(quietWide.err, "");
}

TEST(CliOptions, ColoursAreHexOrCssNamesAsCOLORREF) {
  struct Case {
    const char* text;
    COLORREF colour;
  };
  for (const Case& c :
       {Case{"#FF0000", 0x0000FFu}, Case{"#00ff00", 0x00FF00u}, Case{"#0000FF", 0xFF0000u},
        Case{"#F2F2F2", 15921906u}, Case{"F2F2F2", 15921906u}, Case{"#f0a", 0xAA00FFu},
        Case{"#FFF", 0xFFFFFFu}, Case{"navy", 0x800000u}, Case{"RebeccaPurple", 0x993366u},
        Case{"GREY", 0x808080u}, Case{"gray", 0x808080u}})
    EXPECT_EQ(ParseColour(c.text, "-"), c.colour) << c.text;
  for (const char* bad : {"", "#", "#FF", "#FFFF", "FFF", "#FF00000", "#GG0000", "reddish", "red ",
                          "transparent", "#red"})
    EXPECT_THROW(ParseColour(bad, "-"), CliUsageError) << bad;
}

// Our table against Qt's, which knows the same names (bar rebeccapurple, which is newer, and
// transparent, which is no colour).
TEST(CliOptions, ColourNamesAgreeWithQt) {
  int names = 0;
  for (const QString& name : QColor::colorNames()) {
    if (name == "transparent") continue;
    const QColor qt = QColor::fromString(name);
    EXPECT_EQ(ParseColour(name.toStdString(), "-"), RGB(qt.red(), qt.green(), qt.blue()))
        << name.toStdString();
    ++names;
  }
  EXPECT_GE(names, 147);
}

TEST(CliOptions, ValuesComeAfterTheOptionOrAfterAnEqualsSign) {
  const std::vector<CliOption> options = {
      {"title", 0, true}, {"second", 0, true}, {"jobs", 'j', true}, {"quiet", 'q'}};
  const ParsedArguments parsed =
      ParseArguments({"--title=a=b", "x", "--second", "-", "-", "--", "--title"}, options);
  EXPECT_EQ(parsed.Value("title"), "a=b");
  EXPECT_EQ(parsed.Value("second"), "-");
  EXPECT_EQ(parsed.positional, (std::vector<std::string>{"x", "-", "--title"}));
  for (const std::vector<std::string>& jobs :
       {std::vector<std::string>{"-j4"}, {"-j", "4"}, {"--jobs=4"}, {"--jobs", "4"}, {"-qj4"}})
    EXPECT_EQ(ParseArguments(jobs, options).Value("jobs"), "4") << jobs.front();
  EXPECT_TRUE(ParseArguments({"-qj4"}, options).Has("quiet"));
  EXPECT_THROW(ParseArguments({"--title"}, options), CliUsageError);
  EXPECT_THROW(ParseArguments({"-j"}, options), CliUsageError);
  EXPECT_THROW(ParseArguments({"--title", "a", "--title", "b"}, options), CliUsageError);
  EXPECT_THROW(ParseArguments({"-x"}, options), CliUsageError);
}

TEST(CliDescription, LinesSplitAsTheMemoHoldsThem) {
  EXPECT_EQ(SplitDescription(""), std::vector<std::string>{""});
  EXPECT_EQ(SplitDescription("a\r\nb\n"), (std::vector<std::string>{"a", "b", ""}));
  EXPECT_EQ(SplitDescription("a\n\nb"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitDescription("a\n\n"), (std::vector<std::string>{"a", "", ""}));
}
