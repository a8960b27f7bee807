#include "app/composer.h"

#include <string>

#include "platform/bitmap.h"
#include "platform/draw_text.h"

namespace {

// How many description lines fit under the heading, and what the user is told beyond that.
struct LineLimit {
  int lines;
  AnsiString message;
};

LineLimit LimitFor(int headingLines) {
  switch (headingLines) {
    case 2:
      return {8, "説明は8行までにしてください"_sj};
    case 1:
      return {9, "説明は9行までにしてください"_sj};
    default:
      return {11, "説明は11行までにしてください"_sj};
  }
}

struct Move {
  int dx, dy;
};

// Where each line's first pass lands relative to where the previous line left the text
// rectangle; the pass lands one pixel right and below the line's text position.
constexpr Move kFirstHeading{2, 13};
constexpr Move kSecondUnderTitle{1, 16};
constexpr Move kFirstDescriptionUnderHeading{11, 24};
constexpr Move kFirstDescriptionAlone{11, 6};
constexpr Move kNextDescription{1, 17};

constexpr UINT kHeadingFormat = DT_CENTER | DT_SINGLELINE;
constexpr UINT kDescriptionFormat = DT_SINGLELINE;

constexpr TRect kUpperBar{2, 6, 308, 10};
constexpr int kLowerBarTopUnderTwoLines = 40;
constexpr int kLowerBarTopUnderOneLine = 25;

// Bold 9 points: the font every line is drawn in and the width guard measures with.
void SetCaptionFont(TCanvas& canvas) {
  canvas.Font.Style = {fsBold};
  canvas.Font.SetSize(9);
}

// Seven passes: the outline on the four diagonals and to the left and right of the text
// position, never above or below it, then the text itself. The rectangle ends at the text
// position, where the next line's first move starts.
void DrawOutlinedLine(TCanvas& canvas, const AnsiString& text, Move first, TRect& rect, UINT format,
                      COLORREF textColor, COLORREF outlineColor) {
  const Move passes[7] = {first, {-2, -2}, {0, 2}, {2, -2}, {0, 1}, {-2, 0}, {1, 0}};
  for (int pass = 0; pass < 7; ++pass) {
    OffsetRect(rect, passes[pass].dx, passes[pass].dy);
    canvas.Font.Color = pass < 6 ? outlineColor : textColor;
    DrawText(canvas, text, rect, format);
  }
}

// A stroke in the text colour inside a one-pixel frame in the outline colour.
void DrawBar(TCanvas& canvas, const TRect& outer, COLORREF textColor, COLORREF outlineColor) {
  canvas.Brush.SetColor(outlineColor);
  canvas.FillRect(outer);
  canvas.Brush.SetColor(textColor);
  canvas.FillRect(Rect(outer.Left + 1, outer.Top + 1, outer.Right - 1, outer.Bottom - 1));
}

// The longest start of text, in whole UTF-16 units, that is at most limit pixels wide. Widths
// only grow as units are added, so halving finds the same cut as dropping one unit at a time
// from the end, without measuring a pasted page once per character.
AnsiString TrimToWidth(const TCanvas& canvas, const AnsiString& text, int limit) {
  const std::u16string units = text.ToUtf16();
  std::size_t fits = 0, tooWide = units.size();
  while (tooWide - fits > 1) {
    const std::size_t middle = fits + (tooWide - fits) / 2;
    if (canvas.TextWidth(AnsiString::FromUtf16(std::u16string_view(units).substr(0, middle))) <=
        limit) {
      fits = middle;
    } else {
      tooWide = middle;
    }
  }
  return AnsiString::FromUtf16(std::u16string_view(units).substr(0, fits));
}

}  // namespace

void MakeCaptionPicture(TBitmap& picture) {
  picture.SetPixelFormat(pf8bit);
  picture.SetWidth(kPictureWidth);
  picture.SetHeight(kPictureHeight);
  TCanvas& canvas = picture.Canvas();
  canvas.Brush.SetColor(kBackgroundGrey);
  canvas.FillRect(canvas.ClipRect());
}

void TCaptionComposer::FormCreate() {
  MakeCaptionPicture(window_.Picture());
  Edit1Change();
}

void TCaptionComposer::Button1Click() {
  const AnsiString title = window_.TitleText();
  const AnsiString second = window_.SecondLineText();
  const int headingLines = int(!title.IsEmpty()) + int(!second.IsEmpty());

  // The description keeps the lines that fit; the rest are gone, after the user was told.
  const LineLimit limit = LimitFor(headingLines);
  if (window_.DescriptionLineCount() > limit.lines) {
    window_.ShowMessage(limit.message);
    window_.DeleteDescriptionLinesFrom(limit.lines);
  }

  TCanvas& canvas = window_.Picture().Canvas();
  canvas.Brush.SetColor(kBackgroundGrey);
  canvas.FillRect(canvas.ClipRect());

  TRect rect = window_.ImageClientRect();
  canvas.Brush.SetStyle(bsClear);
  SetCaptionFont(canvas);
  const COLORREF textColor = window_.FontColor();
  const COLORREF outlineColor = window_.BorderColor();
  if (!title.IsEmpty())
    DrawOutlinedLine(canvas, title, kFirstHeading, rect, kHeadingFormat, textColor, outlineColor);
  if (!second.IsEmpty()) {
    DrawOutlinedLine(canvas, second, title.IsEmpty() ? kFirstHeading : kSecondUnderTitle, rect,
                     kHeadingFormat, textColor, outlineColor);
  }

  canvas.Font.Style = {fsBold};
  const int lines = window_.DescriptionLineCount();
  for (int i = 0; i < lines; ++i) {
    const Move first = i > 0              ? kNextDescription
                       : headingLines > 0 ? kFirstDescriptionUnderHeading
                                          : kFirstDescriptionAlone;
    DrawOutlinedLine(canvas, window_.DescriptionLine(i), first, rect, kDescriptionFormat, textColor,
                     outlineColor);
  }

  if (headingLines > 0) {
    DrawBar(canvas, kUpperBar, textColor, outlineColor);
    const int top = headingLines == 2 ? kLowerBarTopUnderTwoLines : kLowerBarTopUnderOneLine;
    DrawBar(canvas, Rect(2, top, 308, top + 4), textColor, outlineColor);
  }
  window_.RepaintImage();
}

void TCaptionComposer::Button2Click(const SaveOptions& options) {
  const auto fileName = window_.ExecuteSaveDialog();
  if (!fileName) return;
  TBitmap& picture = window_.Picture();
  if (picture.Empty()) return;
  const std::vector<std::uint8_t> bytes = CaptionBytes(picture, options.format);
  WriteOutput({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, *fileName, options);
}

void TCaptionComposer::Memo1KeyUp() {
  TCanvas& canvas = window_.Picture().Canvas();
  SetCaptionFont(canvas);
  const int count = window_.DescriptionLineCount();
  for (int i = 0; i < count; ++i) {
    const AnsiString line = window_.DescriptionLine(i);
    if (canvas.TextWidth(line) <= kDescriptionWidthLimit) continue;
    window_.ShowMessage(AnsiString(std::to_string(i + 1)) + "行目を自動調整で文字削除します"_sj);
    window_.SetDescriptionLine(i, TrimToWidth(canvas, line, kDescriptionWidthLimit));
  }
  Button1Click();
}

void TCaptionComposer::PFontColorClick() {
  const std::optional<COLORREF> color = window_.ExecuteColorDialog(window_.FontColor());
  if (!color) return;
  window_.SetFontColor(*color);
  // White on black only: any other colour, however dark, keeps the black caption.
  window_.SetFontCaptionColor(*color == clBlack ? clWhite : clBlack);
  Button1Click();
}

void TCaptionComposer::PBorderColorClick() {
  const std::optional<COLORREF> color = window_.ExecuteColorDialog(window_.BorderColor());
  if (!color) return;
  window_.SetBorderColor(*color);
  window_.SetBorderCaptionColor(*color == clBlack ? clWhite : clBlack);
  Button1Click();
}
