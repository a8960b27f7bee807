#include "platform/draw_text.h"

#include <algorithm>

#include "platform/pixel_access.h"
#include "platform/text_layout.h"

namespace {

TRect Intersect(const TRect& a, const TRect& b) {
  return Rect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
              std::min(a.Bottom, b.Bottom));
}

bool Inside(const TRect& r, int x, int y) {
  return x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
}

void DrawGlyph(PixelAccess& pixels, const TRect& clip, const GlyphImage& glyph, int penX,
               int baseline, std::uint32_t value) {
  const int left = penX + glyph.left, top = baseline - glyph.top;
  if (left >= clip.Right || left + glyph.width <= clip.Left || top >= clip.Bottom ||
      top + glyph.height <= clip.Top) {
    return;
  }
  for (int row = 0; row < glyph.height; ++row) {
    const int y = top + row;
    if (y < clip.Top || y >= clip.Bottom) continue;
    const BYTE* mask = glyph.mask.data() + std::size_t(row) * std::size_t(glyph.width);
    for (int col = 0; col < glyph.width; ++col) {
      if (mask[col] && Inside(clip, left + col, y)) pixels.Put(left + col, y, value);
    }
  }
}

}  // namespace

int DrawText(TCanvas& canvas, const AnsiString& text, TRect& rect, UINT format) {
  const TextLine& line = LayoutLine(canvas.Font, text, true);
  const FontFace& face = *line.face;
  const int height = face.Ascent() + face.Descent();
  HDC dc = canvas.Handle();
  if (!dc || !dc->bitmap) return height;
  PixelAccess pixels(*dc->bitmap);
  const TRect clip = Intersect(rect, canvas.ClipRect());
  if (clip.Left >= clip.Right || clip.Top >= clip.Bottom) return height;

  const int startX = (format & DT_CENTER) ? rect.Left + (rect.Width() - line.width) / 2 : rect.Left;
  const int baseline = rect.Top + face.Ascent();
  const std::uint32_t value = pixels.Encode(canvas.Font.Color);
  const int underlineY = baseline + face.UnderlineOffset();
  for (const PlacedGlyph& placed : line.glyphs) {
    const int penX = startX + placed.x;
    DrawGlyph(pixels, clip, *placed.glyph, penX, baseline, value);
    if (placed.underlined && underlineY >= clip.Top && underlineY < clip.Bottom) {
      pixels.FillSpan(std::max(penX, clip.Left), std::min(penX + placed.glyph->advance, clip.Right),
                      underlineY, value);
    }
  }
  return height;
}
