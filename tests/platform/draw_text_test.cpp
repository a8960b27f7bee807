#include "platform/draw_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>

#include "platform/bitmap.h"
#include "platform/font_lookup.h"
#include "platform/text_layout.h"

namespace {

using Points = std::set<std::pair<int, int>>;

constexpr int kWidth = 160, kHeight = 40;

// The pixels text covers when drawn black on white into rect.
Points InkOf(const AnsiString& text, TRect rect, UINT format = DT_SINGLELINE, bool bold = true) {
  TBitmap b;
  b.SetPixelFormat(pf8bit);
  b.SetWidth(kWidth);
  b.SetHeight(kHeight);
  TCanvas& c = b.Canvas();
  c.Brush.SetColor(clWhite);
  c.FillRect(c.ClipRect());
  c.Brush.SetStyle(bsClear);
  c.Font.Style = bold ? TFontStyles{fsBold} : TFontStyles{};
  c.Font.SetSize(9);
  c.Font.Color = clBlack;
  DrawText(c, text, rect, format);
  Points ink;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const COLORREF p = c.Pixels(x, y);
      EXPECT_TRUE(p == clBlack || p == clWhite) << "not monochrome at " << x << ", " << y;
      if (p == clBlack) ink.insert({x, y});
    }
  return ink;
}

Points Shifted(const Points& points, int dx) {
  Points out;
  for (auto [x, y] : points) out.insert({x + dx, y});
  return out;
}

Points Union(Points a, const Points& b) {
  a.insert(b.begin(), b.end());
  return a;
}

int Width(const AnsiString& text, bool bold = true) {
  TCanvas c;
  c.Font.Style = bold ? TFontStyles{fsBold} : TFontStyles{};
  c.Font.SetSize(9);
  return c.TextWidth(text);
}

TRect At(int x, int y) {
  return Rect(x, y, x + 310, y + 180);
}

TEST(Font, TheCanvasDefaultFindsAProportionalJapaneseGothic) {
  TFont font;
  font.SetSize(9);
  FontFace& face = FaceOf(font);
  const std::string family = face.Family();
  // fonts-ipafont-gothic is one of the build's dependencies, so one of the list is installed.
  const auto& gothics = JapaneseGothicFamilies();
  EXPECT_NE(std::find(gothics.begin(), gothics.end(), family), gothics.end()) << family;
  // Proportional: a narrow Latin letter takes less room than a wide one.
  EXPECT_LT(Width("i"), Width("W"));
  EXPECT_GT(Width("あ"_sj), Width("i"));
}

TEST(Font, IPAPGothicHangsItsGlyphsElevenPixelsAboveTheBaseline) {
  TFont font;
  font.SetSize(9);
  FontFace& face = FaceOf(font);
  if (face.Family() != "IPAPGothic")
    GTEST_SKIP() << "the canvas font is " << face.Family()
                 << " here; the ascent checked is IPAPGothic's";
  EXPECT_EQ(face.Ascent(), 11);
}

TEST(DrawTextTest, BoldIsTheRegularGlyphStruckAgainOnePixelToTheRight) {
  for (const AnsiString& text : {AnsiString("H"), "漢"_sj, AnsiString("g")}) {
    const Points regular = InkOf(text, At(4, 4), DT_SINGLELINE, false);
    ASSERT_FALSE(regular.empty());
    EXPECT_EQ(InkOf(text, At(4, 4)), Union(regular, Shifted(regular, 1)));
  }
  EXPECT_EQ(Width("Hi漢"_sj), Width("Hi漢"_sj, false) + 3);
}

TEST(DrawTextTest, TheLineHangsFromTheRectanglesTop) {
  TFont font;
  font.SetSize(9);
  font.Style = {fsBold};
  const FontFace& face = FaceOf(font);
  const Points ink = InkOf("Hg"_sj, At(3, 7));
  int top = 1000, bottom = -1;
  for (auto [x, y] : ink) top = std::min(top, y), bottom = std::max(bottom, y);
  EXPECT_GE(top, 7);
  EXPECT_LT(bottom, 7 + face.Ascent() + face.Descent());
  // The capital stands on the baseline: its lowest row is the one above it.
  int hBottom = -1;
  for (auto [x, y] : InkOf("H", At(3, 7))) hBottom = std::max(hBottom, y);
  EXPECT_EQ(hBottom, 7 + face.Ascent() - 1);
}

// 140 pixels of room for 51 of text leave 89: the odd pixel goes to the right, so the text
// starts 44 pixels in, at 54.
TEST(DrawTextTest, CentresBetweenLeftAndRight) {
  ASSERT_EQ(Width("Caption"), 51) << "the face changed: choose a text that leaves an odd gap";
  EXPECT_EQ(InkOf("Caption", Rect(10, 2, 150, 30), DT_CENTER | DT_SINGLELINE),
            InkOf("Caption", At(54, 2)));
}

TEST(DrawTextTest, ClipsToTheRectangle) {
  const Points ink = InkOf("WWWWWWWW", Rect(5, 5, 30, 12));
  ASSERT_FALSE(ink.empty());
  for (auto [x, y] : ink) {
    EXPECT_TRUE(x >= 5 && x < 30 && y >= 5 && y < 12) << x << ", " << y;
  }
  // And to the bitmap, without complaint, wherever the rectangle lies.
  EXPECT_TRUE(InkOf("W", Rect(-400, -400, -90, -220)).empty());
  EXPECT_FALSE(InkOf("WWWW", Rect(-10, -5, 300, 175)).empty());
}

TEST(DrawTextTest, DoubleAmpersandDrawsOneAmpersand) {
  const Points both = InkOf("x&&y", At(2, 2));
  const Points ampersand = InkOf("&&", At(2 + Width("x"), 2));
  ASSERT_FALSE(ampersand.empty());
  for (auto [x, y] : ampersand) EXPECT_LT(x, 2 + Width("x") + Width("&"));
  const Points expected =
      Union(Union(InkOf("x", At(2, 2)), ampersand), InkOf("y", At(2 + Width("x&"), 2)));
  EXPECT_EQ(both, expected);
}

TEST(DrawTextTest, AmpersandUnderlinesTheNextCharacterAndIsNotDrawn) {
  const Points plain = InkOf("AB", At(2, 2));
  const Points marked = InkOf("&AB", At(2, 2));
  Points added;
  for (const auto& p : marked)
    if (!plain.count(p)) added.insert(p);
  for (const auto& p : plain) EXPECT_TRUE(marked.count(p));
  // One row below the baseline under A only.
  ASSERT_FALSE(added.empty());
  const int row = added.begin()->second;
  for (auto [x, y] : added) {
    EXPECT_EQ(y, row);
    EXPECT_GE(x, 2);
    EXPECT_LT(x, 2 + Width("A"));
  }
  EXPECT_EQ(InkOf("AB&", At(2, 2)), plain);  // a lone prefix at the end draws nothing
}

TEST(DrawTextTest, TabsAreNotExpanded) {
  const int tab = Width("\t");
  EXPECT_LT(tab, 4 * Width("a"));
  EXPECT_EQ(Width("a\tb"), Width("a") + tab + Width("b"));
  const Points ink = InkOf("a\tb", At(2, 2));
  for (const auto& p : InkOf("b", At(2 + Width("a\t"), 2))) EXPECT_TRUE(ink.count(p));
}

TEST(DrawTextTest, APastedPageDrawsLikeItsVisibleStart) {
  std::string start, page;
  for (int i = 0; i < 20; ++i) start += "&W&&i";
  for (int i = 0; i < 400; ++i) page += "&W&&i";
  EXPECT_EQ(InkOf(AnsiString(page), At(-3, 2)), InkOf(AnsiString(start), At(-3, 2)));
  EXPECT_EQ(Width(AnsiString(page)), 20 * Width(AnsiString(start)));
}

TEST(DrawTextTest, MeasuringCountsPrefixCharactersAsText) {
  EXPECT_EQ(Width("a&b"), Width("a") + Width("&") + Width("b"));
}

TEST(DrawTextTest, ThreadsDrawTheSameAsOneThread) {
  const AnsiString texts[] = {"説明文です"_sj, "Nimbrel &&", "発売日 2026"_sj, "&Underline"};
  std::vector<Points> alone;
  for (const AnsiString& t : texts) alone.push_back(InkOf(t, At(1, 1)));
  std::vector<Points> together(4);
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&, i] {
      for (int round = 0; round < 5; ++round) together[i] = InkOf(texts[i], At(1, 1));
    });
  for (auto& t : threads) t.join();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(together[i], alone[i]) << i;
}

}  // namespace
