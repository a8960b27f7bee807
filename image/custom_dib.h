// TVynCustomDIB: the device-independent image the framework sees. It references one pixel
// store, shared after Assign and copied on the first change.
#pragma once

#include <string>

#include "image/internal_dib.h"
#include "platform/ansi_string.h"
#include "platform/graphic.h"

class TVynCustomDIB : public TLmGraphic {
 public:
  TVynCustomDIB();
  ~TVynCustomDIB() override;
  TVynCustomDIB(const TVynCustomDIB&) = delete;
  TVynCustomDIB& operator=(const TVynCustomDIB&) = delete;
  const char* ClassName() const override { return "TVynCustomDIB"; }

  void Assign(TPersistent* source) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool GetEmpty() override;
  int GetHeight() override;
  HPALETTE GetPalette() override;  // owned by the store
  int GetWidth() override;
  void SetHeight(int value) override;
  void SetPalette(HPALETTE value) override;  // the store takes ownership
  void SetWidth(int value) override;
  void LoadFromStream(TStream& stream) override;  // BMP
  void SaveToStream(TStream& stream) override;    // BMP
  void LoadFromClipboardFormat(WORD format, HANDLE data, HPALETTE palette) override;
  void SaveToClipboardFormat(WORD& format, HANDLE& data, HPALETTE& palette) override;

  virtual TVynCustomInternalDIB* CreateInternalDIB();
  virtual void CopyFileInfo(TVynCustomDIB& target);
  virtual void RectSaveToFile(const std::string& fileName, int left, int top, int width,
                              int height);
  virtual void RectSaveToStream(TStream& stream, int left, int top, int width, int height);

  bool GetAlphaFlag();
  int GetUnitSpecifier();
  int GetWidthSpecific();
  int GetHeightSpecific();
  COLORREF GetTransColor();
  void SetTransColor(COLORREF color);
  COLORREF GetBGColor();
  void SetBGColor(COLORREF color);
  void FreeDCHandle();

  // The store, for the codecs; nullptr only while a store is being replaced.
  TVynCustomInternalDIB* Image() const { return FImage; }

  // Source-file information, filled by the PNG reader.
  int FInfoOffsetX = 0;
  int FInfoOffsetY = 0;
  bool FInfoPrefixed = false;
  int FInfoFormat = 0;
  int FInfoInterlace = 0;
  int FInfoWidth = 0;
  int FInfoHeight = 0;
  int FInfoColorBits = 0;
  int FInfoGrayscale = 0;
  AnsiString FInfoText;

 protected:
  void AssignTo(TPersistent* dest) override;
  // GdiFlush, then raises "<method>: not Image" when there is no storage.
  void CheckImage(const char* method);
  // Copy-on-write: gives this image a store of its own before it changes.
  void Unshare();
  void SyncPaletteModified();
  // Drops this image's reference (FImage becomes nullptr).
  void ReleaseImage();
  // Takes store (already counted for this image) as FImage.
  void TakeImage(TVynCustomInternalDIB* store);
  // Releases the device-context binding of the store and the canvas.
  void ReleaseDCBinding();
  // Installs a store made for this image (one reference, already counted): releases the old
  // one, takes store, then SyncPaletteModified. Loaders build the new store under a
  // std::unique_ptr and hand it over with ReplaceImage(store.release()) once it is complete.
  void ReplaceImage(TVynCustomInternalDIB* store);
  // Makes this image reference source's store (one more reference) in place of its own.
  void ShareImage(TVynCustomDIB& source);

  TCanvas* FCanvas = nullptr;
  bool FCanvasBound = false;
  TVynCustomInternalDIB* FImage = nullptr;
};
