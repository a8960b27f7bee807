// Painting the image onto a canvas.
#include "image/custom_dib.h"
#include "platform/canvas.h"

namespace {

// Selects a palette into a device context (forced to the background) for one drawing call.
class PaletteSelection {
 public:
  PaletteSelection(HDC dc, HPALETTE palette) : dc_(dc) {
    if (palette == nullptr) return;
    old_ = SelectPalette(dc_, palette, TRUE);
    selected_ = true;
    RealizePalette(dc_);
  }
  ~PaletteSelection() {
    if (selected_) SelectPalette(dc_, old_, TRUE);
  }
  PaletteSelection(const PaletteSelection&) = delete;
  PaletteSelection& operator=(const PaletteSelection&) = delete;

 private:
  HDC dc_;
  HPALETTE old_ = nullptr;
  bool selected_ = false;
};

// Sets a stretch mode for one drawing call.
class StretchModeSelection {
 public:
  StretchModeSelection(HDC dc, int mode) : dc_(dc), old_(SetStretchBltMode(dc, mode)) {}
  ~StretchModeSelection() { SetStretchBltMode(dc_, old_); }
  StretchModeSelection(const StretchModeSelection&) = delete;
  StretchModeSelection& operator=(const StretchModeSelection&) = delete;

 private:
  HDC dc_;
  int old_;
};

}  // namespace

void TVynCustomDIB::Draw(TCanvas& canvas, const TRect& rect) {
  CheckImage("Draw");
  HDC dc = canvas.Handle();
  PaletteSelection palette(dc, GetPalette());
  // Whole pixels only: a palette image must stay made of its own entries when stretched.
  StretchModeSelection mode(dc, COLORONCOLOR);
  const TVynDIBDesc& desc = FImage->Desc();
  // Transparency, background colour and alpha are not applied: pixels go out as stored.
  StretchDIBits(dc, rect.Left, rect.Top, rect.Right - rect.Left, rect.Bottom - rect.Top, 0, 0,
                desc.Width, desc.Height, desc.Bits,
                reinterpret_cast<const BITMAPINFO*>(desc.InfoHeader), DIB_RGB_COLORS,
                canvas.CopyMode);
}
