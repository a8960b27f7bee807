// Text gathered from tEXt and zTXt chunks: header lines, separators, line-break
// normalisation that leaves Shift_JIS double-byte characters whole.
#include "png/png_limits.h"
#include "png/png_text_gather.h"
#include "tests/png/png_reader_test_util.h"

namespace {

using namespace pngread;

Bytes TextChunk(const std::string& key, const std::string& text) {
  Bytes d(key.begin(), key.end());
  d.push_back(0);
  d.insert(d.end(), text.begin(), text.end());
  return d;
}

Bytes ZTextChunk(const std::string& key, const std::string& text) {
  Bytes d(key.begin(), key.end());
  d.insert(d.end(), {0, 0});
  const Bytes z = Deflate(Bytes(text.begin(), text.end()));
  d.insert(d.end(), z.begin(), z.end());
  return d;
}

std::string GatheredText(PngBuilder builder) {
  TUxPNG image;
  Load(image, builder.IDAT({0, 0}).End());
  EXPECT_FALSE(image.TextTruncated());
  return image.FInfoText.bytes();
}

PngBuilder Head() {
  return std::move(PngBuilder().IHDR(1, 1, 8, 0));
}

TEST(ReaderText, TwoEntriesEachUnderItsHeader) {
  EXPECT_EQ(GatheredText(Head()
                             .Chunk("tEXt", TextChunk("Title", "abc"))
                             .Chunk("tEXt", TextChunk("Author", "x\ny"))),
            "$#Title\r\nabc\r\n$#Author\r\nx\r\ny");
}

TEST(ReaderText, ZTXtGathersLikeTEXt) {
  EXPECT_EQ(GatheredText(Head()
                             .Chunk("zTXt", ZTextChunk("Title", "abc"))
                             .Chunk("tEXt", TextChunk("Author", "x\ry"))),
            "$#Title\r\nabc\r\n$#Author\r\nx\r\ny");
}

TEST(ReaderText, DollarSignsAndKeysPassUnchanged) {
  EXPECT_EQ(GatheredText(Head().Chunk("tEXt", TextChunk("Any key", "$#not a header $$"))),
            "$#Any key\r\n$#not a header $$");
}

TEST(ReaderText, KeyOf79BytesIsAccepted) {
  const std::string key(79, 'k');
  EXPECT_EQ(GatheredText(Head().Chunk("tEXt", TextChunk(key, "v"))), "$#" + key + "\r\nv");
}

// The image data that follows starts afresh, whatever of the compressed text was unread.
TEST(ReaderText, TextStopsAtItsFirstZeroByte) {
  EXPECT_EQ(GatheredText(Head().Chunk("tEXt", TextChunk("k", std::string("ab\0cd", 5)))),
            "$#k\r\nab");
  EXPECT_EQ(GatheredText(Head().Chunk(
                "zTXt", ZTextChunk("k", "ab" + std::string(1, '\0') + std::string(70000, 'c')))),
            "$#k\r\nab");
}

// A header gets a line break before it only when more than one character follows the last
// one: a last line of a single character runs straight into the next header.
TEST(ReaderText, HeaderFollowsAOneCharacterLastLineDirectly) {
  EXPECT_EQ(GatheredText(
                Head().Chunk("tEXt", TextChunk("A", "a\r\nb")).Chunk("tEXt", TextChunk("B", "c"))),
            "$#A\r\na\r\nb$#B\r\nc");
  EXPECT_EQ(GatheredText(
                Head().Chunk("tEXt", TextChunk("A", "a\r\nbc")).Chunk("tEXt", TextChunk("B", "c"))),
            "$#A\r\na\r\nbc\r\n$#B\r\nc");
}

TEST(ReaderText, TextEndingInALineBreakNeedsNoSeparator) {
  EXPECT_EQ(
      GatheredText(Head().Chunk("tEXt", TextChunk("A", "a\n")).Chunk("tEXt", TextChunk("B", "c"))),
      "$#A\r\na\r\n$#B\r\nc");
}

// A zTXt text longer than one inflate piece is normalised as a whole: a CR at the end of
// one piece and the LF starting the next stay one line break.
TEST(ReaderText, LongZTXtKeepsCRLFAcrossPieces) {
  std::string text(32766, 'a');
  text += "\r\nz";
  EXPECT_EQ(GatheredText(Head().Chunk("zTXt", ZTextChunk("k", text))), "$#k\r\n" + text);
}

TEST(ReaderText, DoubleByteCharacterEndingInLFIsNoLineBreakBeforeAHeader) {
  EXPECT_EQ(GatheredText(
                Head().Chunk("tEXt", TextChunk("A", "a\x82\n")).Chunk("tEXt", TextChunk("B", "c"))),
            "$#A\r\na\x82\n\r\n$#B\r\nc");
}

struct BreakCase {
  const char* name;
  std::string in;
  std::string out;
};

class LineBreaks : public testing::TestWithParam<BreakCase> {};

TEST_P(LineBreaks, Normalise) {
  EXPECT_EQ(NormaliseLineBreaks(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineBreaks,
    testing::Values(BreakCase{"CRLF", "a\r\nb", "a\r\nb"}, BreakCase{"LoneCR", "a\rb", "a\r\nb"},
                    BreakCase{"LoneLF", "a\nb", "a\r\nb"},
                    BreakCase{"LFCRIsTwoBreaks", "a\n\rb", "a\r\n\r\nb"},
                    BreakCase{"CRCRLF", "\r\r\n", "\r\n\r\n"},
                    // 0x82 0x0A is a (malformed) double-byte character: its second byte is
                    // not a line break.
                    BreakCase{"SecondByteOfDoubleByteCharacter", "\x82\n\n", "\x82\n\r\n"},
                    BreakCase{"ShiftJISText", "\x83\x65\x83\x4C\x83\x58\x83\x67\r",
                              "\x83\x65\x83\x4C\x83\x58\x83\x67\r\n"},
                    BreakCase{"LeadByteAtTheEnd", "a\x82", "a\x82"},
                    BreakCase{"SingleByteKatakanaIsNotALeadByte", "\xB1\n", "\xB1\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// A body keeps what fits, never half a double-byte character or half a CR LF; a header
// goes in whole or not at all.
TEST(ReaderText, GatheringStopsAtTheTextLimit) {
  std::string text = "x";
  EXPECT_FALSE(AppendTextBody(text, std::string(10, 'a'), 10));
  EXPECT_EQ(text, "x" + std::string(9, 'a'));
  EXPECT_FALSE(AppendTextHeader(text, "k", 10));
  EXPECT_EQ(text.size(), 10u);

  text = "x";
  EXPECT_FALSE(AppendTextBody(text, "\x82\xA0\x82\xA0", 4));
  EXPECT_EQ(text, "x\x82\xA0");
  text = "x";
  EXPECT_FALSE(AppendTextBody(text, "ab\n", 4));
  EXPECT_EQ(text, "xab");
  text = "x";
  EXPECT_TRUE(AppendTextBody(text, "ab\n", 5));
  EXPECT_EQ(text, "xab\r\n");

  // A header that fills the room exactly goes in; one byte less and it stays out.
  text = "x";
  EXPECT_TRUE(AppendTextHeader(text, "k", 8));
  EXPECT_EQ(text, "x\r\n$#k\r\n");
  text = "x";
  EXPECT_FALSE(AppendTextHeader(text, "k", 7));
  EXPECT_EQ(text, "x");
}

// The same bounds through a load, with the limit set for the test: the second entry's header
// is 7 bytes after 8 of text.
TEST(ReaderText, AHeaderThatExactlyFillsTheTextIsKept) {
  for (const std::size_t limit : {15, 14}) {
    TUxPNG image;
    image.ReadLimits.MaxTextBytes = limit;
    Load(image, Head()
                    .Chunk("tEXt", TextChunk("A", "abc"))
                    .Chunk("tEXt", TextChunk("B", ""))
                    .IDAT({0, 0})
                    .End());
    EXPECT_EQ(image.FInfoText.bytes(), limit == 15 ? "$#A\r\nabc\r\n$#B\r\n" : "$#A\r\nabc")
        << limit;
    EXPECT_EQ(image.TextTruncated(), limit == 14) << limit;
  }
}

// Text past the limit is dropped, not the picture: gathering stops where the text is full,
// on a character boundary, and later text chunks add nothing. A zTXt that inflates to far
// more (a "bomb") is only inflated as far as the text has room.
TEST(ReaderText, OversizedTextIsCutAndThePictureLoads) {
  std::string doubleBytes;
  for (int i = 0; i < (3 << 20); ++i) doubleBytes += "\x82\xA0";
  for (const char* type : {"tEXt", "zTXt"}) {
    const Bytes chunk =
        std::string(type) == "tEXt" ? TextChunk("k", doubleBytes) : ZTextChunk("k", doubleBytes);
    TUxPNG image;
    Load(image,
         Head().Chunk(type, chunk).Chunk("tEXt", TextChunk("Next", "x")).IDAT({0, 0x33}).End());
    EXPECT_EQ(image.GetWidth(), 1);
    EXPECT_TRUE(image.TextTruncated()) << type;
    const std::string& text = image.FInfoText.bytes();
    // "$#k" CR LF and whole characters: the next one would not fit whole.
    ASSERT_EQ(text.size(), kMaxTextBytes - 1) << type;
    EXPECT_EQ(text.substr(0, 7), "$#k\r\n\x82\xA0") << type;
    EXPECT_EQ(text.substr(text.size() - 2), "\x82\xA0") << type;
  }
}

}  // namespace
