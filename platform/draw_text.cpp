#include "platform/draw_text.h"

#include <algorithm>

#include "platform/pixel_access.h"
#include "platform/text_layout.h"

namespace {

TRect Intersect(const TRect& a, const TRect& b) {
  return Rect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
              std::min(a.Bottom, b.Bottom));
}

void FillRuns(PixelAccess& pixels, const TRect& clip, const std::vector<InkRun>& runs, int x,
              int baseline, std::uint32_t value) {
  for (const InkRun& run : runs) {
    const int y = baseline + run.y;
    if (y < clip.Top || y >= clip.Bottom) continue;
    pixels.FillSpan(std::max(x + run.x0, clip.Left), std::min(x + run.x1, clip.Right), y, value);
  }
}

// A line too long to keep merged: only the glyphs that can reach the clip are drawn.
void DrawGlyphByGlyph(PixelAccess& pixels, const TRect& clip, const TextLine& line, int startX,
                      int baseline, int underlineY, std::uint32_t value) {
  for (const PlacedGlyph& placed : line.glyphs) {
    const GlyphImage& glyph = *placed.glyph;
    const int penX = startX + placed.x;
    const int left = std::min(penX, penX + glyph.left);
    const int right = std::max(penX + glyph.advance, penX + glyph.left + glyph.width);
    if (right <= clip.Left || left >= clip.Right) continue;
    FillRuns(pixels, clip, glyph.runs, penX, baseline, value);
    if (placed.underlined && underlineY >= clip.Top && underlineY < clip.Bottom) {
      pixels.FillSpan(std::max(penX, clip.Left), std::min(penX + glyph.advance, clip.Right),
                      underlineY, value);
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
  if (line.merged) {
    FillRuns(pixels, clip, line.runs, startX, baseline, value);
  } else {
    DrawGlyphByGlyph(pixels, clip, line, startX, baseline, baseline + face.UnderlineOffset(),
                     value);
  }
  return height;
}
