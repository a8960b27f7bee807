#include "app/composer.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

#include "fake_caption_window.h"
#include "picture_model.h"
#include "platform/halftone_palette.h"

namespace {

constexpr UINT kHeading = DT_CENTER | DT_SINGLELINE;
constexpr UINT kDescription = DT_SINGLELINE;
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlue = 0xFF0000;

std::vector<AnsiString> Lines(int count, const char* stem = "line ") {
  std::vector<AnsiString> lines;
  for (int i = 1; i <= count; ++i) lines.push_back(AnsiString(stem + std::to_string(i)));
  return lines;
}

class ComposerTest : public ::testing::Test {
 protected:
  void SetUp() override { composer.FormCreate(); }

  FakeCaptionWindow window;
  TCaptionComposer composer{window};
};

TEST_F(ComposerTest, StartsAsAnEightBitGreyPictureWithTheHalftoneTable) {
  TBitmap& picture = window.picture;
  EXPECT_EQ(picture.PixelFormat(), pf8bit);
  EXPECT_EQ(picture.Width(), 310);
  EXPECT_EQ(picture.Height(), 180);
  ASSERT_EQ(GetPaletteEntries(picture.Palette(), 0, 0, nullptr), 256u);
  PALETTEENTRY entry{};
  for (UINT i = 0; i < 256; ++i) {
    GetPaletteEntries(picture.Palette(), i, 1, &entry);
    const RGBQUAD& q = HalftonePalette()[i];
    ASSERT_EQ(RGB(entry.peRed, entry.peGreen, entry.peBlue), RGB(q.rgbRed, q.rgbGreen, q.rgbBlue));
  }
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(ComposerTest, AllEmptyInputsGiveOneEntryEverywhere) {
  window.fontColor = kRed;
  composer.Button1Click();
  const IndexPicture p = Snapshot(window.picture);
  const BYTE grey = NearestEntry(window.picture, kBackgroundGrey);
  for (BYTE v : p.pixels) ASSERT_EQ(v, grey);
  // The library's measure puts grey 242 on the entry (241, 241, 241).
  const RGBQUAD& q = HalftonePalette()[grey];
  EXPECT_EQ(RGB(q.rgbRed, q.rgbGreen, q.rgbBlue), 0xF1F1F1u);
}

struct LayoutCase {
  const char* name;
  const char* title;
  const char* second;
  std::vector<AnsiString> description;
  COLORREF text, outline;
  std::pair<int, int> firstInk, lastInk;  // (x, y), from the face the picture is drawn in
  friend void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }
};

bool InBar(int y, int headingLines) {
  const int lower = headingLines == 2 ? 40 : 25;
  return headingLines > 0 && ((y >= 6 && y < 10) || (y >= lower && y < lower + 4));
}

class ComposerLayoutTest : public ComposerTest, public ::testing::WithParamInterface<LayoutCase> {};

// The expected picture is built from the layout table: heading text positions (1, 12) and
// (1, 27), description lines from (11, 50), (11, 35) or (10, 5) at a pitch of 16, bars at 6 and
// at 40 or 25.
TEST_P(ComposerLayoutTest, MatchesTheLayoutTablePixelForPixel) {
  const LayoutCase& c = GetParam();
  window.title = c.title;
  window.second = c.second;
  window.description = c.description;
  window.fontColor = c.text;
  window.borderColor = c.outline;
  composer.Button1Click();
  EXPECT_TRUE(window.messages.empty());

  PictureModel model(window.picture, c.text, c.outline);
  const bool hasTitle = *c.title != 0, hasSecond = *c.second != 0;
  const int heading = int(hasTitle) + int(hasSecond);
  if (hasTitle) model.Line(c.title, 1, 12, kHeading);
  if (hasSecond) model.Line(c.second, 1, hasTitle ? 27 : 12, kHeading);
  const int left = heading ? 11 : 10;
  const int top = heading == 2 ? 50 : heading == 1 ? 35 : 5;
  for (std::size_t k = 0; k < c.description.size(); ++k)
    model.Line(c.description[k], left, top + 16 * int(k), kDescription);
  if (heading) {
    model.Bar(6);
    model.Bar(heading == 2 ? 40 : 25);
  }
  const IndexPicture actual = Snapshot(window.picture);
  int differences = 0;
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 310; ++x)
      if (actual.At(x, y) != model.Picture().At(x, y) && ++differences <= 5)
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << int(actual.At(x, y))
                      << ", expected " << int(model.Picture().At(x, y));
  EXPECT_EQ(differences, 0);
  // Literal positions too, since the model draws with the product's own DrawText: the first and
  // last text-colour pixel outside the bars, in reading order.
  const BYTE ink = NearestEntry(window.picture, c.text);
  std::vector<std::pair<int, int>> inked;
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 310; ++x)
      if (actual.At(x, y) == ink && !InBar(y, heading)) inked.push_back({x, y});
  ASSERT_FALSE(inked.empty());
  EXPECT_EQ(inked.front(), c.firstInk);
  EXPECT_EQ(inked.back(), c.lastInk);
}

const AnsiString kWide = "ＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷＷ"_sj;

// One case a line.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ComposerLayoutTest,
    ::testing::Values(
        LayoutCase{"TwoLineHeading", "Title", "2026/12/07", Lines(8), kRed, kBlue, {141, 14}, {45, 172}},
        LayoutCase{"TitleOnly", "タイトル", "", Lines(9), clWhite, clBlack, {118, 13}, {44, 173}},
        LayoutCase{"SecondLineOnly", "", "発売日", Lines(9), kRed, kBlue, {133, 13}, {44, 173}},
        LayoutCase{"BlankTitleCountsAsAHeading", "   ", "", Lines(3), kRed, kBlue, {12, 37}, {45, 77}},
        LayoutCase{"NoHeading", "", "", Lines(11, "説明 "_sj.c_str()), kRed, kBlue, {11, 7}, {34, 176}},
        LayoutCase{"EmptyLinesKeepTheirSlots", "", "", {"a", "", "", "d"}, kRed, kBlue, {12, 10}, {16, 63}},
        LayoutCase{"WideHeadingIsCentredAndCut", kWide.c_str(), "x", {}, kRed, kBlue, {1, 14}, {157, 37}},
        LayoutCase{"UnguardedWideLineIsCutAtTheRightEdge", "", "", {kWide}, kRed, kBlue, {10, 7}, {307, 14}},
        LayoutCase{"SameTextAndOutlineColour", "Title", "Second", Lines(2), kRed, kRed, {140, 13}, {47, 77}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(ComposerTest, EqualColoursMakeSolidBars) {
  window.title = "T";
  window.second = "S";
  window.fontColor = window.borderColor = kBlue;
  composer.Button1Click();
  const IndexPicture p = Snapshot(window.picture);
  const BYTE blue = NearestEntry(window.picture, kBlue);
  const BYTE grey = NearestEntry(window.picture, kBackgroundGrey);
  for (int top : {6, 40}) {
    for (int y = top; y < top + 4; ++y)
      for (int x = 2; x < 308; ++x) ASSERT_EQ(p.At(x, y), blue) << x << ", " << y;
    for (int y = top; y < top + 4; ++y) {
      EXPECT_EQ(p.At(1, y), grey);
      EXPECT_EQ(p.At(308, y), grey);
    }
  }
  for (int x = 0; x < 310; ++x) EXPECT_EQ(p.At(x, 5), grey);
}

struct LimitCase {
  const char* name;
  const char* title;
  const char* second;
  int lines;
  int limit;  // 0: no message expected
  const char* message;
  friend void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.name; }
};

class LineLimitTest : public ComposerTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(LineLimitTest, KeepsTheFirstLinesAfterOneMessage) {
  const LimitCase& c = GetParam();
  window.title = c.title;
  window.second = c.second;
  window.description = Lines(c.lines);
  composer.Button1Click();
  if (c.limit == 0) {
    EXPECT_TRUE(window.messages.empty());
    EXPECT_EQ(window.description, Lines(c.lines));
    return;
  }
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, AnsiString::FromUtf8(c.message));
  EXPECT_EQ(window.messages[0].description.size(), std::size_t(c.lines));  // told, then cut
  EXPECT_EQ(window.description, Lines(c.limit));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LineLimitTest,
    ::testing::Values(LimitCase{"TwoLinesEightFit", "t", "s", 8, 0, ""},
                      LimitCase{"TwoLinesNine", "t", "s", 9, 8, "説明は8行までにしてください"},
                      LimitCase{"TwoLinesTwelve", "t", "s", 12, 8, "説明は8行までにしてください"},
                      LimitCase{"OneLineNineFit", "t", "", 9, 0, ""},
                      LimitCase{"OneLineTen", "", "s", 10, 9, "説明は9行までにしてください"},
                      LimitCase{"NoHeadingElevenFit", "", "", 11, 0, ""},
                      LimitCase{"NoHeadingTwelve", "", "", 12, 11, "説明は11行までにしてください"},
                      LimitCase{"NoHeadingFifteen", "", "", 15, 11,
                                "説明は11行までにしてください"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComposerTest, TypingATitleRemovesLinesTenAndElevenForGood) {
  window.description = Lines(11);
  composer.Button1Click();
  EXPECT_TRUE(window.messages.empty());
  window.title = "N";
  composer.Edit1Change();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "説明は9行までにしてください"_sj);
  EXPECT_EQ(window.description, Lines(9));
  window.title = "";
  composer.Edit1Change();
  EXPECT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.description, Lines(9));
}

// A line of exactly target pixels in the composer's font, built from measured advances.
AnsiString LineOfWidth(const TCanvas& canvas, int target, const AnsiString& filler) {
  AnsiString line;
  const int fillerWidth = canvas.TextWidth(filler);
  while (target - canvas.TextWidth(line) > 3 * fillerWidth) line += filler;
  std::map<int, AnsiString> reachable{{canvas.TextWidth(line), line}};
  for (int round = 0; round < 6 && !reachable.count(target); ++round) {
    auto next = reachable;
    for (const auto& [width, text] : reachable)
      for (char c = '!'; c <= '~'; ++c) {
        const AnsiString longer = text + AnsiString(std::string(1, c));
        const int w = canvas.TextWidth(longer);
        if (w <= target && !next.count(w)) next[w] = longer;
      }
    reachable.swap(next);
  }
  EXPECT_TRUE(reachable.count(target)) << "no line of width " << target;
  return reachable[target];
}

class WidthGuardTest : public ComposerTest {
 protected:
  const TCanvas& Canvas() { return window.picture.Canvas(); }
  static AnsiString Message(int line) {
    return AnsiString(std::to_string(line)) + "行目を自動調整で文字削除します"_sj;
  }
};

TEST_F(WidthGuardTest, KeepsA293PixelLineAndCutsA294PixelLine) {
  const AnsiString fits = LineOfWidth(Canvas(), 293, "あ"_sj);
  const AnsiString tooWide = LineOfWidth(Canvas(), 294, "あ"_sj);
  ASSERT_EQ(Canvas().TextWidth(fits), 293);
  ASSERT_EQ(Canvas().TextWidth(tooWide), 294);
  window.description = {fits, tooWide};
  composer.Memo1KeyUp();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, Message(2));
  EXPECT_EQ(window.description[0], fits);
  const std::u16string before = tooWide.ToUtf16(), after = window.description[1].ToUtf16();
  EXPECT_LE(Canvas().TextWidth(window.description[1]), 293);
  // Cut from the end and no further than needed.
  ASSERT_LT(after.size(), before.size());
  EXPECT_EQ(before.substr(0, after.size()), after);
  EXPECT_GT(Canvas().TextWidth(AnsiString::FromUtf16(before.substr(0, after.size() + 1))), 293);
}

TEST_F(WidthGuardTest, RemovesWholeDoubleByteCharacters) {
  AnsiString kanji;
  for (int i = 0; i < 40; ++i) kanji += "漢字"_sj;
  window.description = {kanji};
  composer.Memo1KeyUp();
  ASSERT_EQ(window.messages.size(), 1u);
  const AnsiString& cut = window.description[0];
  EXPECT_EQ(cut.Length() % 2, 0);
  EXPECT_EQ(kanji.bytes().substr(0, cut.size()), cut.bytes());
  EXPECT_NO_THROW(cut.ToUtf16());
  EXPECT_LE(Canvas().TextWidth(cut), 293);
  const AnsiString oneMore(kanji.bytes().substr(0, cut.size() + 2));
  EXPECT_GT(Canvas().TextWidth(oneMore), 293);
}

TEST_F(WidthGuardTest, TellsAboutEachTooWideLineInOrderBeforeCuttingIt) {
  const AnsiString wide = LineOfWidth(Canvas(), 320, "W");
  window.description = {"a", wide, "c", "d", wide, "f"};
  composer.Memo1KeyUp();
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0].text, Message(2));
  EXPECT_EQ(window.messages[1].text, Message(5));
  EXPECT_EQ(window.messages[0].description[1], wide);  // not yet cut when told
  EXPECT_NE(window.messages[1].description[1], wide);  // the first one already cut
  EXPECT_EQ(window.messages[1].description[4], wide);
  EXPECT_LE(Canvas().TextWidth(window.description[4]), 293);
}

TEST_F(WidthGuardTest, NarrowLinesStayButThePictureIsRecomposed) {
  window.description = {"short"};
  const IndexPicture before = Snapshot(window.picture);
  const int repaints = window.repaints;
  composer.Memo1KeyUp();
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(window.description, std::vector<AnsiString>{"short"});
  EXPECT_GT(window.repaints, repaints);
  EXPECT_NE(Snapshot(window.picture), before);
}

TEST_F(WidthGuardTest, LineLimitStillAppliesAfterTheGuard) {
  window.title = "t";
  window.second = "s";
  window.description = Lines(9);
  composer.Memo1KeyUp();
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "説明は8行までにしてください"_sj);
}

struct ColourCase {
  const char* name;
  bool outlinePanel;
  std::optional<COLORREF> answer;
  COLORREF expectedCaption;
  friend void PrintTo(const ColourCase& c, std::ostream* os) { *os << c.name; }
};

class ColourChoiceTest : public ComposerTest, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(ColourChoiceTest, SetsThePanelItsCaptionAndRedraws) {
  const ColourCase& c = GetParam();
  window.description = {"x"};
  composer.Button1Click();
  const IndexPicture before = Snapshot(window.picture);
  const COLORREF oldText = window.fontColor, oldOutline = window.borderColor;
  const COLORREF oldTextCaption = window.fontCaptionColor;
  const COLORREF oldOutlineCaption = window.borderCaptionColor;
  const int repaints = window.repaints;
  window.colorAnswers.push_back(c.answer);
  c.outlinePanel ? composer.PBorderColorClick() : composer.PFontColorClick();

  ASSERT_EQ(window.colorDialogStarts.size(), 1u);
  EXPECT_EQ(window.colorDialogStarts[0], c.outlinePanel ? oldOutline : oldText);
  if (!c.answer) {
    EXPECT_EQ(window.fontColor, oldText);
    EXPECT_EQ(window.borderColor, oldOutline);
    EXPECT_EQ(window.fontCaptionColor, oldTextCaption);
    EXPECT_EQ(window.borderCaptionColor, oldOutlineCaption);
    EXPECT_EQ(window.repaints, repaints);
    EXPECT_EQ(Snapshot(window.picture), before);
    return;
  }
  EXPECT_EQ(c.outlinePanel ? window.borderColor : window.fontColor, *c.answer);
  EXPECT_EQ(c.outlinePanel ? window.borderCaptionColor : window.fontCaptionColor,
            c.expectedCaption);
  EXPECT_EQ(c.outlinePanel ? window.fontColor : window.borderColor,
            c.outlinePanel ? oldText : oldOutline);
  EXPECT_GT(window.repaints, repaints);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColourChoiceTest,
    ::testing::Values(ColourCase{"TextBlack", false, clBlack, clWhite},
                      ColourCase{"TextNearlyBlack", false, 0x000001, clBlack},
                      ColourCase{"TextRed", false, kRed, clBlack},
                      ColourCase{"TextCancelled", false, std::nullopt, clBlack},
                      ColourCase{"OutlineBlackAgain", true, clBlack, clWhite},
                      ColourCase{"OutlineDarkBlue", true, 0x010000, clBlack},
                      ColourCase{"OutlineWhite", true, clWhite, clBlack},
                      ColourCase{"OutlineCancelled", true, std::nullopt, clWhite}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ComposerTest, AColourChangeRedrawsTheSameLayout) {
  window.title = "Title";
  window.description = {"one", "two"};
  composer.Button1Click();
  window.colorAnswers.push_back(kRed);
  composer.PFontColorClick();
  PictureModel model(window.picture, kRed, clBlack);
  model.Line("Title", 1, 12, kHeading);
  model.Line("one", 11, 35, kDescription);
  model.Line("two", 11, 51, kDescription);
  model.Bar(6);
  model.Bar(25);
  EXPECT_EQ(Snapshot(window.picture), model.Picture());
}

// The command line composes captions on several threads at once; each picture must come out as
// if it were composed alone.
TEST(ComposerThreads, PicturesComposedAtOnceMatchThoseComposedAlone) {
  auto compose = [](int n) {
    FakeCaptionWindow window;
    TCaptionComposer composer(window);
    window.title = AnsiString("Caption " + std::to_string(n));
    window.second = "第"_sj + AnsiString(std::to_string(n)) + "版"_sj;
    window.description = Lines(8, n % 2 ? "説明 "_sj.c_str() : "line ");
    window.fontColor = COLORREF(0x102030 * n);
    composer.FormCreate();
    return Snapshot(window.picture);
  };
  std::vector<IndexPicture> alone;
  for (int n = 0; n < 4; ++n) alone.push_back(compose(n));
  std::vector<IndexPicture> together(4);
  std::vector<std::thread> threads;
  for (int n = 0; n < 4; ++n)
    threads.emplace_back([&, n] {
      for (int round = 0; round < 3; ++round) together[n] = compose(n);
    });
  for (auto& t : threads) t.join();
  for (int n = 0; n < 4; ++n) EXPECT_EQ(together[n], alone[n]) << n;
}

}  // namespace
