// TVynCustomInternalDIB: the reference-counted pixel store behind one or more images.
#pragma once

#include "image/dc_selection.h"
#include "image/dib_desc.h"
#include "image/dib_pixels.h"
#include "image/ref_ptr.h"
#include "platform/gdi.h"
#include "platform/gdi_owner.h"

// Images hold their store through a RefPtr: RefCount() is the number of images sharing it.
class TVynCustomInternalDIB : public RefCounted {
 public:
  // An 8 × 8 1-bit image with two black entries.
  TVynCustomInternalDIB();
  virtual ~TVynCustomInternalDIB();
  TVynCustomInternalDIB(const TVynCustomInternalDIB&) = delete;
  TVynCustomInternalDIB& operator=(const TVynCustomInternalDIB&) = delete;

  // AllocImage into a temporary descriptor, then AttachImage of it.
  virtual void CreateImage(int width, int height, bool withAlpha, const RGBQUAD* palette,
                           int paletteCount, int bitCount);
  // Drops the storage and its GDI objects.
  virtual void FreeImage();
  // Fills desc with new storage; raises EVynCustomDIB for a size below 1 or a bit count other
  // than 1, 4, 8, 24 or 32, and the out-of-memory error when the memory cannot be had (a byte
  // size above 4 GiB − 1 is refused before anything is allocated). desc holds nothing on
  // failure. The palette count follows the bit count (2 for 1 bit, 16 for 4 bits; for 8, 24 and
  // 32 bits the asked count, 0 meaning 256 for 8 bits and none above, and a count of 1 or above
  // 256 meaning 256). At most paletteCount entries are read from palette when paletteCount is
  // 1 to 256 (the rest stay black); otherwise the whole resulting count is read.
  virtual void AllocImage(TVynDIBDesc& desc, int width, bool withAlpha, const RGBQUAD* palette,
                          int paletteCount, int bitCount, int height);
  // Releases the table block and the pixel mapping of desc; safe on a zeroed descriptor.
  virtual void FreeImageData(TVynDIBDesc& desc);
  // A deep copy of this store's image (pixels, palette with its count, tables, resolution and
  // keys), attached to target. Raises "CopyImage: not Image Data!" on a store without image.
  virtual void CopyImage(TVynCustomInternalDIB& target);
  // Takes ownership of desc's storage in place of the current one. Never raises. A descriptor
  // without storage leaves the store empty. Code that guards a descriptor hands it over with
  // TDIBDescGuard::Attach, which also disarms the guard.
  virtual void AttachImage(const TVynDIBDesc& desc);
  // Reads a GDI bitmap (device-dependent or a DIB section) through the given palette.
  virtual void InportBitmap(HBITMAP bitmap, HPALETTE palette);
  // New size; the top-left part of the picture is kept, the rest (row padding included) is 0.
  // Sizes below 1 raise as AllocImage does; the store keeps its image on any failure.
  virtual void ResizeImage(int newWidth, int newHeight);
  // Changes the bit count to 1, 4, 8, 24 or 32.
  virtual void ConvertImage(int bitCount);
  // The DIB section over the pixel memory, made on first demand.
  HBITMAP CreateBMPHandle();

  HPALETTE GetPaletteHandle();
  // The palette object if one has been made; nullptr otherwise. Never makes one.
  HPALETTE MadePaletteHandle() const { return FPalette.get(); }
  // Takes ownership of value, except when it raises "SetPaletteHandle: Invalid Palette" (the
  // caller keeps it then). Setting the store's own handle again keeps it.
  void SetPaletteHandle(HPALETTE value);
  // SetPaletteHandle of a palette object made for this store; when it raises, the palette goes.
  void AdoptPalette(PaletteOwner palette);
  COLORREF GetPaletteColor(int index);  // the entry as COLORREF; 0 without a palette
  int GetNearestPaletteIndex(COLORREF color);
  COLORREF GetColorRef(int index);  // the entry as 0x00RRGGBB (red in the high byte)
  void SetAlphaMode(int mode);
  int GetAlphaMode() const { return AlphaMode(FDesc); }

  // Colour keys: the setters store the colour (or none above 0x00FFFFFF) and refresh the caches.
  void SetTransColor(COLORREF color);
  void SetBGColor(COLORREF color);
  COLORREF TransColor() const { return FTransColor; }
  int TransIndex() const { return FTransIndex; }
  COLORREF BGColor() const { return FBGColor; }
  int BGIndex() const { return FBGIndex; }

  // Pixel accessors for the current bit count; x, y with y = 0 the top row, inside the image.
  // GetPixelColor gives a COLORREF for every bit count (a palette entry's colour for 1 to 8
  // bits), so that it reads back what SetPixelColor wrote.
  DWORD GetPixel(int x, int y) { return FPixels->Get(FDesc, x, y); }
  void SetPixel(int x, int y, DWORD value) { FPixels->Set(FDesc, x, y, value); }
  COLORREF GetPixelColor(int x, int y) { return FPixels->GetColor(FDesc, x, y); }
  void SetPixelColor(int x, int y, COLORREF color) { FPixels->SetColor(FDesc, x, y, color); }

  bool HasImage() const { return FHasImage; }
  int Width() const { return FDesc.Width; }
  int Height() const { return FDesc.Height; }
  int BitCount() const { return FDesc.BitCount; }
  int PaletteCount() const { return FDesc.PaletteCount; }
  int LineSize() const { return FDesc.LineSize; }
  RGBQUAD* Palette() const { return FDesc.Palette; }
  BITMAPINFOHEADER* InfoHeader() const { return FDesc.InfoHeader; }
  TVynDIBDesc& Desc() { return FDesc; }
  const TVynDIBDesc& Desc() const { return FDesc; }

  // Moves FPaletteChanged out: true when storage was attached since the last call.
  bool TakePaletteChanged();
  // Deselects the palette and bitmap from the device context and deletes it.
  void ReleaseDC();
  HDC DC() const { return FDC.dc(); }
  // Adopts dc as the store's device context and selects the palette and the DIB section (when
  // they exist) into it; the store deletes it in ReleaseDC.
  void BindDC(HDC dc);

 private:
  // Copies value's entries into the palette, raising as SetPaletteHandle does; nothing for
  // nullptr.
  void ReadPaletteEntries(HPALETTE value);
  // Makes palette the store's palette object in place of the current one.
  void UsePalette(PaletteOwner palette);
  // Selects the palette object into the context and makes the section again from its entries.
  void SelectNewPalette();
  void InstallAccessors();
  void ReduceAlphaTable();
  void UpdateTransCache();
  void UpdateBGCache();
  void SelectIntoDC();
  // Deselects and deletes the section and the palette object.
  void DropHandles();

  bool FHasImage = false;
  bool FPaletteChanged = false;
  TVynDIBDesc FDesc{};
  int FTransIndex = -1;
  COLORREF FTransColor = clNone;
  int FBGIndex = -1;
  COLORREF FBGColor = clNone;
  PaletteOwner FPalette;
  BitmapOwner FBitmap;
  DCSelection FDC;
  const PixelAccessors* FPixels = &PixelAccessorsFor(0);
};

// Frees a descriptor's storage when it goes out of scope, unless Attach handed it to the
// store first.
class TDIBDescGuard {
 public:
  TDIBDescGuard(TVynCustomInternalDIB& store, TVynDIBDesc& desc) : store_(store), desc_(&desc) {}
  ~TDIBDescGuard() {
    if (desc_) store_.FreeImageData(*desc_);
  }
  TDIBDescGuard(const TDIBDescGuard&) = delete;
  TDIBDescGuard& operator=(const TDIBDescGuard&) = delete;
  // The store takes the descriptor's storage (AttachImage, which never raises); the guard
  // then has nothing left to free.
  void Attach() {
    store_.AttachImage(*desc_);
    desc_ = nullptr;
  }

 private:
  TVynCustomInternalDIB& store_;
  TVynDIBDesc* desc_;
};
