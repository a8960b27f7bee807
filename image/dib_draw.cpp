// Painting the image onto a canvas.
#include "image/custom_dib.h"
#include "platform/canvas.h"
#include "platform/gdi_scope.h"

void TVynCustomDIB::Draw(TCanvas& canvas, const TRect& rect) {
  CheckImage("Draw");
  HDC dc = canvas.Handle();
  PaletteSelection palette(dc, GetPalette());
  // Whole pixels only: a palette image must stay made of its own entries when stretched.
  StretchModeScope mode(dc, COLORONCOLOR);
  const TVynDIBDesc& desc = FImage->Desc();
  // Transparency, background colour and alpha are not applied: pixels go out as stored.
  StretchDIBits(dc, rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top, 0, 0,
                desc.Width, desc.Height, desc.Bits,
                reinterpret_cast<const BITMAPINFO*>(desc.InfoHeader), DIB_RGB_COLORS,
                canvas.CopyMode);
}
