// TVynCustomDIB: the device-independent image the framework sees. It references one pixel
// store, shared after Assign and copied on the first change.
#pragma once

#include <memory>
#include <string>

#include "image/internal_dib.h"
#include "image/ref_ptr.h"
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

  // A new store of the kind this image keeps (the default 8 × 8 picture).
  virtual RefPtr<TVynCustomInternalDIB> CreateInternalDIB();
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
  TVynCustomInternalDIB* Image() const { return FImage.get(); }

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
  // Releases the device-context binding of the store and the canvas.
  void ReleaseDCBinding();
  // Installs store in place of the current one, then SyncPaletteModified. Loaders fill a new
  // store and move it in here only once it is complete, so a failed load leaves the old one.
  void ReplaceImage(RefPtr<TVynCustomInternalDIB> store);
  // Makes this image share source's store in place of its own.
  void ShareImage(TVynCustomDIB& source);

  std::unique_ptr<TCanvas> FCanvas;
  bool FCanvasBound = false;
  RefPtr<TVynCustomInternalDIB> FImage;
};
