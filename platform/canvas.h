// TCanvas: drawing on the bitmap selected into a device context. Colours land on the bitmap's
// own pixel format; on a bitmap with a colour table they become the nearest entry.
#pragma once

#include <cstdint>

#include "platform/ansi_string.h"
#include "platform/font.h"
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
