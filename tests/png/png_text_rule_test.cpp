// Which tEXt chunks an image's text becomes.
#include "png/png_text_rule.h"

#include <gtest/gtest.h>

namespace {

struct TextCase {
  const char* name;
  std::string text;
  std::vector<PngTextEntry> expected;
};

class TextRule : public testing::TestWithParam<TextCase> {};

TEST_P(TextRule, Entries) {
  EXPECT_EQ(PngTextEntries(GetParam().text), GetParam().expected);
}

const std::string kLong79(79, 'k');
const std::string kLong80(80, 'k');

INSTANTIATE_TEST_SUITE_P(
    Cases, TextRule,
    testing::Values(
        TextCase{"Empty", "", {}}, TextCase{"OneByte", "x", {}},
        TextCase{"TwoBytesAreAComment", "ab", {{"Comment", "ab"}}},
        TextCase{"CommentKeepsEverything", "a$#b\r\nc", {{"Comment", "a$#b\r\nc"}}},
        TextCase{"ShiftJisCommentUnchanged", "\x93\xfa\x96\x7b", {{"Comment", "\x93\xfa\x96\x7b"}}},
        TextCase{"StopsAtZeroByte", std::string("ab\0cd", 5), {{"Comment", "ab"}}},
        TextCase{"ZeroByteMakesItShort", std::string("a\0bc", 4), {}},
        TextCase{
            "TwoEntries", "$#Title\r\nHello$#Author\r\nMe", {{"Title", "Hello"}, {"Author", "Me"}}},
        TextCase{"EmptyTextNotWritten", "$#Key\r\n", {}},
        TextCase{"EmptyKeywordEnds", "$#\r\nabc", {}},
        TextCase{"EscapedDollar", "$#K\r\na$$b", {{"K", "a$b"}}},
        TextCase{"FinalDollarStands", "$#K\r\nab$", {{"K", "ab$"}}},
        TextCase{"OnlyFinalDollar", "$#K\r\n$", {{"K", "$"}}},
        TextCase{"EscapedLetter", "$#K\r\nx$yz", {{"K", "xyz"}}},
        TextCase{"HashAloneIsText", "$#K\r\na#b", {{"K", "a#b"}}},
        TextCase{"EscapedDollarThenHash", "$#K\r\na$$#b", {{"K", "a$#b"}}},
        TextCase{"BareMarkerOnly", "$#", {}},
        TextCase{"EndsInsideKeyword", "$#A\r\nx$#Unfinished", {{"A", "x"}}},
        TextCase{"EndsOnLoneCR", "$#A\r\nx$#B\r", {{"A", "x"}}},
        TextCase{"CRWithoutLFTakesNextByte", "$#Ke\rxy\r\nt", {{"Kexy", "t"}}},
        TextCase{"EmptyEntryThenMore", "$#A\r\n$#B\r\nb", {{"B", "b"}}},
        TextCase{"TextKeepsCRLF", "$#A\r\nline1\r\nline2", {{"A", "line1\r\nline2"}}},
        TextCase{"Keyword79Allowed", "$#" + kLong79 + "\r\nv", {{kLong79, "v"}}},
        TextCase{"Keyword80EndsTheList", "$#A\r\na$#" + kLong80 + "\r\nv$#B\r\nb", {{"A", "a"}}}),
    [](const testing::TestParamInfo<TextCase>& info) { return std::string(info.param.name); });

}  // namespace
