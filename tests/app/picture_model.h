// An independent model of a composed caption: where each line's text position lies, which
// pixels its glyphs cover (rendered once on a spare bitmap), and what the seven passes and the
// bars make of them. Tests compare the composer's picture with it pixel by pixel.
#pragma once

#include <cstdlib>
#include <vector>

#include "platform/bitmap.h"
#include "platform/draw_text.h"
#include "platform/gdi.h"

struct IndexPicture {
  int width = 0;
  int height = 0;
  std::vector<BYTE> pixels;

  BYTE At(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
  BYTE& At(int x, int y) { return pixels[std::size_t(y) * width + x]; }
  bool operator==(const IndexPicture&) const = default;
};

inline IndexPicture Snapshot(TBitmap& bitmap) {
  IndexPicture p{bitmap.Width(), bitmap.Height(), {}};
  for (int y = 0; y < p.height; ++y) {
    const BYTE* row = bitmap.ScanLine(y);
    p.pixels.insert(p.pixels.end(), row, row + p.width);
  }
  return p;
}

// The palette entry nearest to a colour by the sum of channel differences, the lower on a tie.
inline BYTE NearestEntry(TBitmap& bitmap, COLORREF color) {
  std::vector<PALETTEENTRY> entries(GetPaletteEntries(bitmap.Palette(), 0, 0, nullptr));
  GetPaletteEntries(bitmap.Palette(), 0, UINT(entries.size()), entries.data());
  int best = 0, bestDistance = 1 << 30;
  for (int i = 0; i < int(entries.size()); ++i) {
    const int d = std::abs(entries[i].peRed - GetRValue(color)) +
                  std::abs(entries[i].peGreen - GetGValue(color)) +
                  std::abs(entries[i].peBlue - GetBValue(color));
    if (d < bestDistance) best = i, bestDistance = d;
  }
  return BYTE(best);
}

// The pixels a line covers when drawn with its text position at the origin, in a rectangle of
// the picture's size, bold 9 points, as (dx, dy) offsets.
struct Ink {
  std::vector<std::pair<int, int>> points;
};

inline Ink InkOf(const AnsiString& text, UINT format) {
  constexpr int kMargin = 8;
  TBitmap spare;
  spare.SetPixelFormat(pf8bit);
  spare.SetWidth(310 + 2 * kMargin);
  spare.SetHeight(180 + 2 * kMargin);
  TCanvas& c = spare.Canvas();
  c.Brush.SetColor(clWhite);
  c.FillRect(c.ClipRect());
  c.Font.Style = {fsBold};
  c.Font.SetSize(9);
  c.Font.Color = clBlack;
  TRect rect = Rect(kMargin, kMargin, kMargin + 310, kMargin + 180);
  DrawText(c, text, rect, format);
  Ink ink;
  for (int y = 0; y < spare.Height(); ++y)
    for (int x = 0; x < spare.Width(); ++x)
      if (c.Pixels(x, y) == clBlack) ink.points.push_back({x - kMargin, y - kMargin});
  return ink;
}

class PictureModel {
 public:
  PictureModel(TBitmap& bitmap, COLORREF text, COLORREF outline)
      : text_(NearestEntry(bitmap, text)), outline_(NearestEntry(bitmap, outline)) {
    picture_.width = 310;
    picture_.height = 180;
    picture_.pixels.assign(310 * 180, NearestEntry(bitmap, 15921906));
  }

  // The outline on the diagonals and left and right, in the order of the passes; then the text.
  void Line(const AnsiString& text, int px, int py, UINT format) {
    const Ink ink = InkOf(text, format);
    const int moves[7][2] = {{1, 1}, {-1, -1}, {-1, 1}, {1, -1}, {1, 0}, {-1, 0}, {0, 0}};
    for (int pass = 0; pass < 7; ++pass) {
      for (auto [dx, dy] : ink.points)
        Put(px + moves[pass][0] + dx, py + moves[pass][1] + dy, pass < 6 ? outline_ : text_);
    }
  }

  void Bar(int top) {
    Fill(2, top, 308, top + 4, outline_);
    Fill(3, top + 1, 307, top + 3, text_);
  }

  const IndexPicture& Picture() const { return picture_; }

 private:
  void Put(int x, int y, BYTE v) {
    if (x >= 0 && y >= 0 && x < picture_.width && y < picture_.height) picture_.At(x, y) = v;
  }
  void Fill(int l, int t, int r, int b, BYTE v) {
    for (int y = t; y < b; ++y)
      for (int x = l; x < r; ++x) Put(x, y, v);
  }

  IndexPicture picture_;
  BYTE text_;
  BYTE outline_;
};
