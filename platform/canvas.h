// TCanvas: drawing on the bitmap selected into a device context. Colours land on the bitmap's
// own pixel format; on a bitmap with a colour table they become the nearest entry.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "platform/ansi_string.h"
#include "platform/gdi.h"
#include "platform/win_types.h"

enum TBrushStyle { bsSolid, bsClear };

class TBrush {
 public:
  COLORREF Color() const { return color_; }
  // A colour makes the brush solid again, as after a clear style for text.
  void SetColor(COLORREF color) {
    color_ = color;
    style_ = bsSolid;
  }
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style) { style_ = style; }

 private:
  COLORREF color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of font styles.
class TFontStyles {
 public:
  TFontStyles() = default;
  TFontStyles(std::initializer_list<TFontStyle> styles) {
    for (TFontStyle s : styles) bits_ |= Bit(s);
  }
  bool Contains(TFontStyle s) const { return (bits_ & Bit(s)) != 0; }
  bool operator==(const TFontStyles&) const = default;

 private:
  static unsigned Bit(TFontStyle s) { return 1u << unsigned(s); }
  unsigned bits_ = 0;
};

constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SHIFTJIS_CHARSET = 128;
// The screen's resolution, by which point sizes become pixel heights.
constexpr int kScreenPixelsPerInch = 96;

// The canvas font. Height is negative for the height of the characters without internal leading
// (the em), as Size sets it. Only bold changes the drawn glyphs; the other styles are kept but
// not drawn, since nothing here draws them.
class TFont {
 public:
  COLORREF Color = clBlack;
  TFontStyles Style;
  int Height = -12;
  // "ＭＳ Ｐゴシック" in code page 932.
  AnsiString Name{"\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e"};
  BYTE Charset = SHIFTJIS_CHARSET;

  int Size() const;
  void SetSize(int points);
};

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  HDC Handle() const { return FHandle; }
  void SetHandle(HDC dc) { FHandle = dc; }
  // Raster operation used when pictures are copied onto the canvas.
  DWORD CopyMode = SRCCOPY;

  TBrush Brush;
  TFont Font;

  // The drawable area: the whole selected bitmap, or an empty rectangle without one.
  TRect ClipRect() const;
  // Fills rect (right and bottom exclusive) with the brush; a clear brush fills nothing.
  void FillRect(const TRect& rect);
  // The advance width of text on one line in the current font, prefix characters included.
  int TextWidth(const AnsiString& text) const;
  // The colour of one pixel (clNone outside the bitmap), for callers that inspect a drawing.
  COLORREF Pixels(int x, int y) const;

 private:
  HDC FHandle = nullptr;
};
