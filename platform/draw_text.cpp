#include "platform/draw_text.h"

#include <algorithm>

#include "platform/pixel_access.h"
#include "platform/text_layout.h"

namespace {

TRect Intersect(const TRect& a, const TRect& b) {
  return Rect(std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
              std::min(a.Bottom, b.Bottom));
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
  for (const InkRun& run : line.runs) {
    const int y = baseline + run.y;
    if (y < clip.Top || y >= clip.Bottom) continue;
    pixels.FillSpan(std::max(startX + run.x0, clip.Left), std::min(startX + run.x1, clip.Right), y,
                    value);
  }
  return height;
}
