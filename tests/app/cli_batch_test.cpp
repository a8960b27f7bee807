#include "app/cli_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "app/cli_formats.h"
#include "app/cli_options.h"
#include "app/cli_test_util.h"
#include "app/temp_folder.h"
#include "app/utf8_text.h"
#include "platform/ansi_string.h"
#include "tests/libpng_decode.h"

namespace {

std::vector<std::string> Sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

TEST(CliBatch, ABadRowFailsByNameWhileTheOthersAreWritten) {
  TempFolder folder;
  const std::string table = folder.File("table.tsv");
  WriteFileBytes(table,
                 "# file\ttitle\tsecond\tdescription\n"
                 "one.png\t星の島\t2026年\t一行目\\n二行目\n"
                 "bad.png\tタイトル\t\t\treddish\n"
                 "\n"
                 "three\tThird\r\n"
                 "emoji.png\t😀\n"
                 "cr\ta\rb\n");
  const std::string out = folder.File("out");
  const CliRun run = RunCliCommand({"batch", table, "--out-dir", out, "-j", "3"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_EQ(run.err,
            "nimbrel-cli: " + table + ":3: bad.png: bad colour 'reddish' for the text colour: " +
                "expected #RRGGBB, #RGB, RRGGBB or a colour name such as red or navy\n" +
                "nimbrel-cli: " + table + ":6: emoji.png: title: 文字 U+1F600 は Shift_JIS で表せ" +
                "ません\n" + "nimbrel-cli: " + table + ":7: cr.png: title: a line break at byte " +
                "1 cannot be drawn: give one line of text\n" + "wrote 2 of 5 captions to " + out +
                ": 0 trimmed, 3 failed\n");
  EXPECT_EQ(Sorted(TempFolder::NamesIn(out)), (std::vector<std::string>{"one.png", "three.png"}));
  EXPECT_TRUE(DecodePngFile(out + "/one.png").ok);
  EXPECT_TRUE(DecodePngFile(out + "/three.png").ok);
}

TEST(CliBatch, EveryThreadCountWritesTheSameFilesAsTheWindowsSaveWould) {
  TempFolder folder;
  std::string rows;
  for (int i = 0; i < 12; ++i)
    rows += "c" + std::to_string(i) + ".png\tタイトル" + std::to_string(i) + "\t第" +
            std::to_string(i) + "版\t説明の一行目\\n二行目 " + std::to_string(i) + "\n";
  WriteFileBytes(folder.File("table.tsv"), rows);
  ASSERT_EQ(
      RunCliCommand({"batch", folder.File("table.tsv"), "--out-dir", folder.File("one"), "-j", "1"})
          .status,
      0);
  ASSERT_EQ(RunCliCommand(
                {"batch", folder.File("table.tsv"), "--out-dir", folder.File("four"), "--jobs=4"})
                .status,
            0);

  const CliRun single = RunCliCommand({"compose", "--title", "タイトル5", "--second", "第5版",
                                       "--description", "-", "-o", folder.File("c5.png")},
                                      "説明の一行目\n二行目 5\n");
  ASSERT_EQ(single.status, 0);
  for (int i = 0; i < 12; ++i) {
    const std::string name = "/c" + std::to_string(i) + ".png";
    EXPECT_EQ(ReadFileBytes(folder.File("one") + name), ReadFileBytes(folder.File("four") + name));
  }
  EXPECT_EQ(ReadFileBytes(folder.File("four") + "/c5.png"), ReadFileBytes(folder.File("c5.png")));
}

// Names come from data: no row may write outside --out-dir, whether by its name or through a
// link someone left in the folder.
TEST(CliBatch, RowsThatWouldLeaveTheFolderOrShareAFileFail) {
  TempFolder folder;
  const std::string out = folder.File("out"), outside = folder.File("outside");
  std::filesystem::create_directories(out);
  std::filesystem::create_directories(outside);
  WriteFileBytes(outside + "/victim.png", "victim");
  WriteFileBytes(outside + "/shared.png", "shared");
  std::filesystem::create_symlink("../outside/victim.png", out + "/evil.png");
  std::filesystem::create_symlink("../outside/new.png", out + "/dangling.png");
  std::filesystem::create_hard_link(outside + "/shared.png", out + "/linked.png");
  WriteFileBytes(folder.File("table.tsv"),
                 "a.png\tA\nb/../a.png\tB\n../escape.png\tC\na.png\tD\n.\tE\n\tF\n"
                 "evil.png\tG\ndangling.png\tH\nlinked.png\tI\n");
  const CliRun run = RunCliCommand({"batch", folder.File("table.tsv"), "--out-dir", out});
  EXPECT_EQ(run.status, kExitFailed);
  const std::string notFollowed =
      "を作成できません: is a symbolic link, which is not followed here";
  const std::string table = folder.File("table.tsv");
  const std::string plainName = ": the file name must be a plain name without folders\n";
  for (const std::string& line : std::vector<std::string>{
           table + ":2: b/../a.png" + plainName, table + ":3: ../escape.png" + plainName,
           table + ":4: a.png: the same file name as line 1\n", table + ":5: ." + plainName,
           table + ":6: no file name\n",
           table + ":7: ファイル " + out + "/evil.png " + notFollowed + "\n",
           table + ":8: ファイル " + out + "/dangling.png " + notFollowed + "\n"})
    EXPECT_NE(run.err.find("nimbrel-cli: " + line), std::string::npos) << line << "\n" << run.err;
  EXPECT_EQ(Sorted(TempFolder::NamesIn(out)),
            (std::vector<std::string>{"a.png", "dangling.png", "evil.png", "linked.png"}));
  // "../escape.png" would land beside the table, in the folder that holds out.
  EXPECT_EQ(Sorted(folder.Names()), (std::vector<std::string>{"out", "outside", "table.tsv"}));
  EXPECT_EQ(Sorted(TempFolder::NamesIn(outside)),
            (std::vector<std::string>{"shared.png", "victim.png"}));
  EXPECT_EQ(ReadFileBytes(outside + "/victim.png"), "victim");
  // A file the folder shares with another by a hard link is replaced, not written through.
  EXPECT_EQ(ReadFileBytes(outside + "/shared.png"), "shared");
  EXPECT_TRUE(DecodePngFile(out + "/linked.png").ok);
}

// Mistakes in the arguments exit with 2; a table that cannot be read or a folder that cannot be
// made are failures of files, and exit with 1.
TEST(CliBatch, ArgumentMistakesExitWithUsageFileFailuresWithOne) {
  TempFolder folder;
  WriteFileBytes(folder.File("t.tsv"), "a\tb\n");
  const std::string usage = "Try 'nimbrel-cli batch --help'";
  struct Case {
    std::vector<std::string> args;
    std::string errPart;
    int status = kExitUsage;
  };
  for (const Case& c :
       {Case{{"batch", folder.File("t.tsv")}, usage},
        Case{{"batch", "--out-dir", folder.File("o")}, usage},
        Case{{"batch", folder.File("t.tsv"), "--out-dir", folder.File("o"), "-j", "0"}, usage},
        Case{{"batch", folder.File("missing.tsv"), "--out-dir", folder.File("o")},
             "nimbrel-cli: ファイル " + folder.File("missing.tsv") +
                 " を開けません: No such file or directory\n",
             kExitFailed},
        Case{{"batch", folder.File("t.tsv"), "--out-dir", folder.File("t.tsv/o")},
             "nimbrel-cli: cannot create the output folder " + folder.File("t.tsv/o") +
                 ": Not a directory\n",
             kExitFailed}}) {
    const CliRun run = RunCliCommand(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.errPart), std::string::npos) << run.err;
  }
}

// A megabyte name is named once, cut short, whether the table refuses it or the system does.
TEST(CliBatch, AHugeNameIsNamedOnceAndCut) {
  TempFolder folder;
  const std::string name(1 << 20, 'n');
  const CliRun run = RunCliCommand({"batch", "-q", "-", "--out-dir", folder.File("out")},
                                   name + ".gif\tT\n" + name + "\tT\n");
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_LT(run.err.size(), 1000u);
  std::istringstream lines(run.err);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_EQ(line, "nimbrel-cli: standard input:1: " + name.substr(0, kMaxQuotedBytes) +
                      "…: cannot tell the format: name it .png or .bmp, or give --format png|bmp");
  ASSERT_TRUE(std::getline(lines, line));
  EXPECT_NE(line.find("を作成できません: File name too long"), std::string::npos) << line;
  EXPECT_EQ(line.find(name.substr(0, kMaxQuotedBytes + 1)), std::string::npos);
}

TEST(CliBatchTable, FieldsEscapesCommentsAndLineEnds) {
  const std::vector<BatchRow> rows =
      ParseBatchTable("# comment\r\nx.png\tT\tS\ta\\nb\\\\n\\t\\q\t#FFFFFF\t#000000\r\n   \ny\n");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].line, 2);
  EXPECT_EQ(rows[0].fileName, "x.png");
  EXPECT_EQ(rows[0].title, "T");
  EXPECT_EQ(rows[0].secondLine, "S");
  EXPECT_EQ(rows[0].description, "a\nb\\n\t\\q");
  EXPECT_EQ(rows[0].textColour, "#FFFFFF");
  EXPECT_EQ(rows[0].outlineColour, "#000000");
  EXPECT_EQ(rows[1].line, 4);
  EXPECT_EQ(rows[1].fileName, "y");
  EXPECT_EQ(rows[1].description, "");
}

TEST(CliBatchTable, TheNameChoosesTheFormatAndNamesWithoutAnExtensionGetOne) {
  const CliFormatRegistration formats;
  const TGraphicClass png = FormatNamed("png"), bmp = FormatNamed("bmp");
  struct Case {
    std::string name;
    TGraphicClass formatOption;
    std::string written;
    TGraphicClass format;
  };
  for (const Case& c :
       {Case{"caption", nullptr, "caption.png", png},
        Case{"caption.", nullptr, "caption..png", png},
        Case{".hidden", nullptr, ".hidden.png", png},
        Case{"caption.PNG", nullptr, "caption.PNG", png},
        Case{"caption.bmp", nullptr, "caption.bmp", bmp}, Case{"caption", bmp, "caption.bmp", bmp},
        Case{"caption.jpg", bmp, "caption.jpg", bmp}}) {
    const BatchOutput output = RowOutput(c.name, c.formatOption);
    EXPECT_EQ(output.name, c.written) << c.name;
    EXPECT_EQ(output.format, c.format) << c.name;
  }
  EXPECT_THROW(RowOutput("caption.jpg", nullptr), CliUsageError);
  EXPECT_THROW(RowOutput("a/b.png", nullptr), CliUsageError);
  EXPECT_THROW(RowOutput("..", nullptr), CliUsageError);
}

// A Shift_JIS table from standard input: BMP and PNG rows by name, a row whose description is
// cut counted as trimmed, or failed under --strict, and -q leaving only the failures.
TEST(CliBatch, ReadsAShiftJisTableFromStdinAndCountsTrimmedRows) {
  TempFolder folder;
  const std::string table =
      AnsiString::FromUtf8("a.bmp\t表題\nb\t二\t\t" + std::string(80, 'W') + "\n").bytes();
  const std::string out = folder.File("out");
  const CliRun plain = RunCliCommand({"batch", "-", "--out-dir", out, "--encoding", "sjis"}, table);
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.err,
            "standard input:2: b.png: 1行目を自動調整で文字削除します\nwrote 2 of 2 captions to " +
                out + ": 1 trimmed, 0 failed\n");
  EXPECT_EQ(ReadFileBytes(out + "/a.bmp").substr(0, 2), "BM");
  EXPECT_TRUE(DecodePngFile(out + "/b.png").ok);

  const std::string strictOut = folder.File("strict");
  const CliRun strict = RunCliCommand(
      {"batch", "-q", "--strict", "-", "--out-dir", strictOut, "--encoding", "cp932"}, table);
  EXPECT_EQ(strict.status, kExitFailed);
  EXPECT_EQ(strict.err,
            "nimbrel-cli: standard input:2: b.png: not written: the window had to cut the "
            "description (--strict)\n");
  EXPECT_EQ(TempFolder::NamesIn(strictOut), std::vector<std::string>{"a.bmp"});

  const CliRun utf8 = RunCliCommand({"batch", "-", "--out-dir", folder.File("u")}, table);
  EXPECT_EQ(utf8.status, kExitFailed);
  EXPECT_EQ(utf8.err,
            "nimbrel-cli: standard input:1: invalid UTF-8 at byte 6 (the text reads as Shift_JIS: "
            "give --encoding cp932)\n");
}
