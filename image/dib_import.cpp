// Bringing pictures into the image model and taking them out again: Assign and AssignTo with
// framework bitmaps and other images, and InportBitmap of a GDI bitmap handle.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "image/color_tables.h"
#include "image/custom_dib.h"
#include "image/dib_error.h"
#include "platform/bitmap.h"
#include "platform/gdi_owner.h"
#include "platform/gdi_scope.h"

namespace {

// The bit count a framework pixel format maps to directly, or 0 when GDI must convert it (the
// store has no 16-bit layout).
int DirectBitCount(TPixelFormat format) {
  const int bits = PixelFormatBitCount(format);
  return bits == 16 ? 0 : bits;
}

// The depth of a bitmap as GDI reports it; 16- and 32-bit depths are read as 24 bits.
int DeviceBitCount(HBITMAP handle) {
  BITMAP bm{};
  if (GetObject(handle, sizeof bm, &bm) != int(sizeof bm)) return 0;
  const int bits = bm.bmPlanes * bm.bmBitsPixel;
  return bits == 16 || bits == 32 ? 24 : bits;
}

BITMAPINFO* InfoOf(const TVynDIBDesc& d) {
  return reinterpret_cast<BITMAPINFO*>(d.InfoHeader);
}

// Rows move with plain copies: the bitmap's row y becomes the store's picture row y.
void CopyScanLines(TBitmap& bitmap, const TVynDIBDesc& d) {
  const std::size_t stride = bitmap.Handle() != nullptr ? bitmap.Handle()->lineSize : 0;
  const std::size_t count = std::min(std::size_t(d.LineSize), stride);
  for (int y = d.Height - 1; y >= 0; --y) std::memcpy(PictureRow(d, y), bitmap.ScanLine(y), count);
}

// GDI converts the bitmap into the store's layout through the bitmap's palette.
void ReadThroughGDI(TBitmap& bitmap, const TVynDIBDesc& d) {
  ScreenDC screen;
  PaletteSelection selection(screen.get(), bitmap.Palette());
  GetDIBits(screen.get(), bitmap.Handle(), 0, UINT(d.Height), d.Bits, InfoOf(d), DIB_RGB_COLORS);
}

// The palette a picture read from bitmap keeps, if any.
PaletteOwner PaletteFor(TBitmap& bitmap, int bitCount) {
  if (bitmap.Palette() != nullptr) return PaletteOwner(CopyPalette(bitmap.Palette()));
  // A palette display shows true-colour pictures through the halftone palette.
  if (bitCount > 8 && PaletteDisplayFlag()) return PaletteOwner(CreateLibraryHalftonePalette());
  return nullptr;
}

TPixelFormat FormatFor(int bitCount) {
  switch (bitCount) {
    case 1:
      return pf1bit;
    case 4:
      return pf4bit;
    case 8:
      return pf8bit;
    default:
      return pf24bit;
  }
}

}  // namespace

void TVynCustomDIB::Assign(TPersistent* source) {
  if (source == nullptr) {
    ReleaseImage();
    ReplaceImage(CreateInternalDIB());
    Changed();
    return;
  }
  if (auto* image = dynamic_cast<TVynCustomDIB*>(source)) {
    if (image == this) return;
    image->FreeDCHandle();
    ShareImage(*image);
    image->CopyFileInfo(*this);
    SetPaletteModified(true);
    Changed();
    return;
  }
  auto* bitmap = dynamic_cast<TBitmap*>(source);
  if (bitmap == nullptr) {
    TPersistent::Assign(source);
    return;
  }
  const int width = bitmap->Width(), height = bitmap->Height();
  int bitCount = DirectBitCount(bitmap->PixelFormat());
  const bool direct = bitmap->HandleType() != bmDDB && bitCount != 0;
  if (!direct) bitCount = DeviceBitCount(bitmap->Handle());

  ReleaseImage();
  ReplaceImage(CreateInternalDIB());
  try {
    FImage->CreateImage(width, height, false, nullptr, 0, bitCount);
  } catch (...) {
    // The old picture is gone already: the image is left empty, not with a stray default.
    FImage->FreeImage();
    throw;
  }
  if (direct) {
    CopyScanLines(*bitmap, FImage->Desc());
  } else {
    ReadThroughGDI(*bitmap, FImage->Desc());
  }

  PaletteOwner palette = PaletteFor(*bitmap, bitCount);
  if (palette != nullptr) {
    // As SetPalette would, with its own change notice; the store is this image's own.
    FImage->AdoptPalette(std::move(palette));
    SyncPaletteModified();
    Changed();
  }
  SyncPaletteModified();
  Changed();
}

void TVynCustomDIB::AssignTo(TPersistent* dest) {
  CheckImage("AssignTo");
  if (auto* image = dynamic_cast<TVynCustomDIB*>(dest)) {
    image->Assign(this);
    return;
  }
  auto* bitmap = dynamic_cast<TBitmap*>(dest);
  if (bitmap == nullptr) {
    TPersistent::AssignTo(dest);
    return;
  }
  const TVynDIBDesc& d = FImage->Desc();
  bitmap->SetHeight(1);
  bitmap->SetWidth(1);
  bitmap->SetHandleType(bmDIB);
  bitmap->SetPixelFormat(FormatFor(d.BitCount));
  bitmap->SetHeight(d.Height);
  bitmap->SetWidth(d.Width);
  HPALETTE own = FImage->GetPaletteHandle();
  bitmap->SetPalette(own != nullptr ? CopyPalette(own) : nullptr);

  HDC dc = bitmap->Canvas().Handle();
  PaletteSelection selection(dc, bitmap->Palette());
  StretchModeScope mode(dc, COLORONCOLOR);
  // The alpha of a 32-bit image has no place in the 24-bit bitmap and is dropped.
  StretchDIBits(dc, 0, 0, d.Width, d.Height, 0, 0, d.Width, d.Height, d.Bits, InfoOf(d),
                DIB_RGB_COLORS, SRCCOPY);
}

void TVynCustomInternalDIB::InportBitmap(HBITMAP bitmap, HPALETTE palette) {
  DIBSECTION ds{};
  const int got = GetObject(bitmap, sizeof ds, &ds);
  int width = 0, height = 0, bitCount = 0;
  int unit = 0, xRes = 1, yRes = 1;
  if (got == int(sizeof(BITMAP))) {
    width = ds.dsBm.bmWidth;
    height = std::abs(ds.dsBm.bmHeight);
    bitCount = ds.dsBm.bmPlanes * ds.dsBm.bmBitsPixel;
  } else if (got == int(sizeof(DIBSECTION))) {
    width = ds.dsBmih.biWidth;
    height = std::abs(ds.dsBmih.biHeight);
    bitCount = ds.dsBmih.biBitCount;
    if (ds.dsBmih.biXPelsPerMeter != 0 && ds.dsBmih.biYPelsPerMeter != 0) {
      unit = 1;
      xRes = ds.dsBmih.biXPelsPerMeter;
      yRes = ds.dsBmih.biYPelsPerMeter;
    }
  } else {
    RaiseDIBError("InportBitmap", "BitmapHandle Error!");
  }

  TVynDIBDesc desc{};
  AllocImage(desc, width, false, nullptr, 0, bitCount <= 8 ? bitCount : 24, height);
  TDIBDescGuard guard(*this, desc);
  {
    MemoryDC dc;
    PaletteSelection selection(dc.get(), palette);
    GetDIBits(dc.get(), bitmap, 0, UINT(height), desc.Bits, InfoOf(desc), DIB_RGB_COLORS);
  }
  desc.UnitSpecifier = unit;
  desc.WidthSpecific = xRes;
  desc.HeightSpecific = yRes;
  WriteDescResolution(desc);
  guard.Attach();
}
