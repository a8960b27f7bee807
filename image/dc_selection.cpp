#include "image/dc_selection.h"

void DCSelection::Bind(HDC dc) {
  if (dc == dc_) return;
  Release();
  dc_ = dc;
}

void DCSelection::Release() {
  if (dc_ == nullptr) return;
  DeselectAll();
  DeleteDC(dc_);
  dc_ = nullptr;
}

void DCSelection::SelectPalette(HPALETTE palette) {
  if (dc_ == nullptr || palette == nullptr) return;
  const HPALETTE previous = ::SelectPalette(dc_, palette, FALSE);
  if (!paletteSelected_) oldPalette_ = previous;
  paletteSelected_ = true;
  RealizePalette(dc_);
}

void DCSelection::SelectBitmap(HBITMAP bitmap) {
  if (dc_ == nullptr || bitmap == nullptr) return;
  const HGDIOBJ previous = SelectObject(dc_, bitmap);
  if (!bitmapSelected_) oldBitmap_ = previous;
  bitmapSelected_ = true;
}

void DCSelection::DeselectPalette() {
  if (!paletteSelected_) return;
  if (dc_ != nullptr) ::SelectPalette(dc_, oldPalette_, FALSE);
  oldPalette_ = nullptr;
  paletteSelected_ = false;
}

void DCSelection::DeselectBitmap() {
  if (!bitmapSelected_) return;
  if (dc_ != nullptr) SelectObject(dc_, oldBitmap_);
  oldBitmap_ = nullptr;
  bitmapSelected_ = false;
}
