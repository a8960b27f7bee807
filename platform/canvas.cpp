#include "platform/canvas.h"

#include <algorithm>
#include <cstdlib>

#include "platform/pixel_access.h"
#include "platform/text_layout.h"

TRect TCanvas::ClipRect() const {
  if (!FHandle || !FHandle->bitmap) return {};
  const PixelAccess pixels(*FHandle->bitmap);
  return Rect(0, 0, pixels.Width(), pixels.Height());
}

void TCanvas::FillRect(const TRect& rect) {
  if (Brush.Style() == bsClear || !FHandle || !FHandle->bitmap) return;
  PixelAccess pixels(*FHandle->bitmap);
  const std::uint32_t value = pixels.Encode(Brush.Color());
  const int top = std::max(rect.Top, 0), bottom = std::min(rect.Bottom, pixels.Height());
  for (int y = top; y < bottom; ++y) pixels.FillSpan(rect.Left, rect.Right, y, value);
}

int TCanvas::TextWidth(const AnsiString& text) const {
  return LayoutLine(Font, text, false).width;
}

COLORREF TCanvas::Pixels(int x, int y) const {
  if (!FHandle || !FHandle->bitmap) return clNone;
  const PixelAccess pixels(*FHandle->bitmap);
  if (x < 0 || y < 0 || x >= pixels.Width() || y >= pixels.Height()) return clNone;
  return pixels.Decode(pixels.Get(x, y));
}
