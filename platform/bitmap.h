// TBitmap: a picture held as a GDI bitmap, normally a DIB section, with a canvas to draw on.
#pragma once

#include <memory>

#include "platform/canvas.h"
#include "platform/exception.h"
#include "platform/gdi.h"
#include "platform/gdi_owner.h"
#include "platform/graphic.h"
#include "platform/win_types.h"

NIMBREL_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);

enum TPixelFormat {
  pfDevice,
  pf1bit,
  pf4bit,
  pf8bit,
  pf15bit,
  pf16bit,
  pf24bit,
  pf32bit,
  pfCustom
};
enum TBitmapHandleType { bmDIB, bmDDB };

// Bits per pixel of a format's section: 16 for pf15bit and pf16bit, 0 for pfDevice and pfCustom.
int PixelFormatBitCount(TPixelFormat format);

class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  const char* ClassName() const override { return "TBitmap"; }

  // Pixel format. A DIB format keeps the size and starts with zeroed pixels; pf1bit, pf4bit and
  // pf8bit bring their default colour table (black and white, the 16 VGA colours, the screen's
  // halftone palette). pfDevice makes a device-dependent bitmap of the screen's depth.
  // pf15bit and pf16bit are 16-bit sections (5-5-5 and 5-6-5). pfCustom is refused.
  TPixelFormat PixelFormat() const;
  void SetPixelFormat(TPixelFormat format);

  // Width and height keep the pixel format and colour table, and the pixels that still fit.
  int GetWidth() override { return width_; }
  int GetHeight() override { return height_; }
  void SetWidth(int value) override;
  void SetHeight(int value) override;
  int Width() const { return width_; }
  int Height() const { return height_; }

  // The bitmap's palette, owned by the bitmap (nullptr when there is none). Setting a palette
  // hands it to the bitmap and, for a bitmap with a colour table, makes its entries the table.
  HPALETTE GetPalette() override { return palette_.get(); }
  void SetPalette(HPALETTE palette) override;
  HPALETTE Palette() const { return palette_.get(); }

  // Row y of the pixels, 0 being the top row; raises EInvalidGraphicOperation outside 0..Height-1.
  BYTE* ScanLine(int y);

  TBitmapHandleType HandleType() const { return handleType_; }
  // bmDDB converts the pixels into a device-dependent bitmap of the screen's depth; bmDIB turns
  // a device-dependent bitmap back into a section of that depth.
  void SetHandleType(TBitmapHandleType type);

  HBITMAP Handle() const { return bitmap_.get(); }
  bool GetEmpty() override { return bitmap_ == nullptr; }
  // A canvas on a memory device context with this bitmap selected.
  TCanvas& Canvas() { return canvas_; }

  // Paints the bitmap, stretched, into rect of canvas.
  void Draw(TCanvas& canvas, const TRect& rect) override;
  // No stream or clipboard format of its own: these raise EConvertError.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette) override;
  void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) override;

 private:
  // Replaces the GDI bitmap with one of the current format and size, copying what fits.
  void Rebuild();
  HBITMAP CreateSection(int width, int height) const;
  void Install(BitmapOwner bitmap);
  void ResetColorTable();
  void DropPalette();

  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = pfDevice;
  TBitmapHandleType handleType_ = bmDDB;
  std::vector<RGBQUAD> colors_;  // the colour table of a DIB of 8 bits or fewer
  PaletteOwner palette_;
  BitmapOwner bitmap_;
  HDC dc_ = nullptr;
  TCanvas canvas_;
};
