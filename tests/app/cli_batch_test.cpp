#include "app/cli_batch.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/cli_options.h"
#include "app/cli_test_util.h"
#include "app/libpng_decode.h"
#include "app/temp_folder.h"

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
                 "bad.png\tタイトル\t\t\tred\n"
                 "\n"
                 "three\tThird\r\n"
                 "emoji.png\t😀\n");
  const std::string out = folder.File("out");
  const CliRun run = RunCliCommand({"batch", table, "--out-dir", out, "-j", "3"});
  EXPECT_EQ(run.status, kExitFailed);
  EXPECT_NE(run.err.find("row 3 (bad.png) failed: bad colour 'red'"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("row 6 (emoji.png) failed: title: 文字 U+1F600"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("wrote 2 of 4 captions"), std::string::npos) << run.err;
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

TEST(CliBatch, RowsNamingTheSameFileOrAFolderFail) {
  TempFolder folder;
  WriteFileBytes(folder.File("table.tsv"),
                 "a.png\tA\nb/../a.png\tB\n../escape.png\tC\na.png\tD\n.\tE\n\tF\n");
  const CliRun run =
      RunCliCommand({"batch", folder.File("table.tsv"), "--out-dir", folder.File("out")});
  EXPECT_EQ(run.status, kExitFailed);
  for (const char* part : {"row 2 (b/../a.png) failed", "row 3 (../escape.png) failed",
                           "row 4 (a.png) failed: the same file name as row 1", "row 5 (.) failed",
                           "row 6 () failed: no file name"})
    EXPECT_NE(run.err.find(part), std::string::npos) << part << "\n" << run.err;
  EXPECT_EQ(TempFolder::NamesIn(folder.File("out")), std::vector<std::string>{"a.png"});
  // "../escape.png" would land beside the table, in the folder that holds out.
  EXPECT_EQ(Sorted(folder.Names()), (std::vector<std::string>{"out", "table.tsv"}));
}

TEST(CliBatch, ArgumentMistakesExitWithUsage) {
  TempFolder folder;
  WriteFileBytes(folder.File("t.tsv"), "a\tb\n");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"batch", folder.File("t.tsv")},
        std::vector<std::string>{"batch", "--out-dir", folder.File("o")},
        std::vector<std::string>{"batch", folder.File("missing.tsv"), "--out-dir",
                                 folder.File("o")},
        std::vector<std::string>{"batch", folder.File("t.tsv"), "--out-dir", folder.File("o"), "-j",
                                 "0"}}) {
    const CliRun run = RunCliCommand(args);
    EXPECT_EQ(run.status, kExitUsage) << run.err;
    EXPECT_NE(run.err.find("Try 'nimbrel-cli batch --help'"), std::string::npos);
  }
}

TEST(CliBatchTable, FieldsEscapesCommentsAndLineEnds) {
  const std::vector<BatchRow> rows = ParseBatchTable(
      "\xEF\xBB\xBF# comment\r\nx.png\tT\tS\ta\\nb\\\\n\\t\\q\t#FFFFFF\t#000000\r\n   \ny\n");
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

TEST(CliBatchTable, NamesWithoutAnExtensionGetPng) {
  EXPECT_EQ(BatchOutputName("caption"), "caption.png");
  EXPECT_EQ(BatchOutputName("caption."), "caption..png");
  EXPECT_EQ(BatchOutputName(".hidden"), ".hidden.png");
  EXPECT_EQ(BatchOutputName("caption.PNG"), "caption.PNG");
  EXPECT_THROW(BatchOutputName("a/b.png"), CliUsageError);
  EXPECT_THROW(BatchOutputName(".."), CliUsageError);
}
