#include "image/custom_dib.h"

#include <utility>

#include "image/dib_error.h"
#include "platform/canvas.h"

TVynCustomDIB::TVynCustomDIB() {
  FImage = CreateInternalDIB();
  SyncPaletteModified();
}

TVynCustomDIB::~TVynCustomDIB() {
  // The canvas lets go of the store's context before either goes.
  ReleaseImage();
}

RefPtr<TVynCustomInternalDIB> TVynCustomDIB::CreateInternalDIB() {
  return MakeRef<TVynCustomInternalDIB>();
}

void TVynCustomDIB::CopyFileInfo(TVynCustomDIB& target) {
  target.FInfoOffsetX = FInfoOffsetX;
  target.FInfoOffsetY = FInfoOffsetY;
  target.FInfoPrefixed = FInfoPrefixed;
  target.FInfoFormat = FInfoFormat;
  target.FInfoInterlace = FInfoInterlace;
  target.FInfoWidth = FInfoWidth;
  target.FInfoHeight = FInfoHeight;
  target.FInfoColorBits = FInfoColorBits;
  target.FInfoGrayscale = FInfoGrayscale;
  target.FInfoText = FInfoText;
}

// ---- store lifecycle ----------------------------------------------------------------------

void TVynCustomDIB::CheckImage(const char* method) {
  // Drawing queued on the pixel memory must land before the library looks at it.
  GdiFlush();
  if (GetEmpty()) RaiseDIBError(method, "not Image");
}

void TVynCustomDIB::ReleaseDCBinding() {
  if (FImage != nullptr) FImage->ReleaseDC();
  if (FCanvasBound && FCanvas != nullptr) FCanvas->SetHandle(nullptr);
  FCanvasBound = false;
}

void TVynCustomDIB::ReleaseImage() {
  if (FImage == nullptr) return;
  ReleaseDCBinding();
  FImage.reset();
}

void TVynCustomDIB::ReplaceImage(RefPtr<TVynCustomInternalDIB> store) {
  ReleaseImage();
  FImage = std::move(store);
  SyncPaletteModified();
}

void TVynCustomDIB::ShareImage(TVynCustomDIB& source) {
  if (source.FImage == FImage) return;
  RefPtr<TVynCustomInternalDIB> shared = source.FImage;
  ReleaseImage();
  FImage = std::move(shared);
}

void TVynCustomDIB::SyncPaletteModified() {
  if (FImage != nullptr && FImage->TakePaletteChanged()) SetPaletteModified(true);
}

void TVynCustomDIB::Unshare() {
  if (FImage->RefCount() == 1) return;
  RefPtr<TVynCustomInternalDIB> own = CreateInternalDIB();
  ReleaseDCBinding();
  FImage->CopyImage(*own);
  ReplaceImage(std::move(own));
}

// ---- geometry and palette -----------------------------------------------------------------

bool TVynCustomDIB::GetEmpty() {
  return FImage == nullptr || !FImage->HasImage();
}

int TVynCustomDIB::GetWidth() {
  CheckImage("GetWidth");
  return FImage->Width();
}

int TVynCustomDIB::GetHeight() {
  CheckImage("GetHeight");
  return FImage->Height();
}

void TVynCustomDIB::SetWidth(int value) {
  CheckImage("SetWidth");
  if (value <= 0) RaiseDIBError("SetWidth", "Invalid Width or Height");
  Unshare();
  FImage->ResizeImage(value, FImage->Height());
  Changed();
}

void TVynCustomDIB::SetHeight(int value) {
  CheckImage("SetHeight");
  if (value <= 0) RaiseDIBError("SetHeight", "Invalid Width or Height");
  Unshare();
  FImage->ResizeImage(FImage->Width(), value);
  Changed();
}

HPALETTE TVynCustomDIB::GetPalette() {
  CheckImage("GetPalette");
  return FImage->GetPaletteHandle();
}

void TVynCustomDIB::SetPalette(HPALETTE value) {
  CheckImage("SetPalette");
  // The handle GetPalette gave out stays with the store that made it. After copy-on-write this
  // image's own copy already holds the same entries; adopting the handle as well would leave
  // two stores owning it.
  const bool sharedOwnHandle =
      value != nullptr && FImage->RefCount() > 1 && value == FImage->MadePaletteHandle();
  Unshare();
  if (!sharedOwnHandle) FImage->SetPaletteHandle(value);
  SyncPaletteModified();
  Changed();
}

// ---- attributes ---------------------------------------------------------------------------

bool TVynCustomDIB::GetAlphaFlag() {
  CheckImage("GetAlphaFlag");
  return FImage->GetAlphaMode() != kAlphaModeNone;
}

int TVynCustomDIB::GetUnitSpecifier() {
  CheckImage("GetUnitSpecifier");
  return FImage->Desc().UnitSpecifier;
}

int TVynCustomDIB::GetWidthSpecific() {
  CheckImage("GetWidthSpecific");
  return FImage->Desc().WidthSpecific;
}

int TVynCustomDIB::GetHeightSpecific() {
  CheckImage("GetHeightSpecific");
  return FImage->Desc().HeightSpecific;
}

COLORREF TVynCustomDIB::GetTransColor() {
  CheckImage("GetTransColor");
  return FImage->TransColor();
}

void TVynCustomDIB::SetTransColor(COLORREF color) {
  CheckImage("SetTransColor");
  Unshare();
  FImage->SetTransColor(color);
}

COLORREF TVynCustomDIB::GetBGColor() {
  CheckImage("GetBGColor");
  return FImage->BGColor();
}

void TVynCustomDIB::SetBGColor(COLORREF color) {
  CheckImage("SetBGColor");
  Unshare();
  FImage->SetBGColor(color);
}

void TVynCustomDIB::FreeDCHandle() {
  CheckImage("FreeDCHandle");
  Unshare();
  ReleaseDCBinding();
}
