// The device context a pixel store is bound to, and what the store has selected into it.
#pragma once

#include "platform/gdi.h"

// Owns one memory device context and remembers what it held before the store's palette and
// bitmap went in, so they go back before the store deletes or replaces its objects and before
// the context itself is deleted.
class DCSelection {
 public:
  DCSelection() = default;
  ~DCSelection() { Release(); }
  DCSelection(const DCSelection&) = delete;
  DCSelection& operator=(const DCSelection&) = delete;

  HDC dc() const { return dc_; }
  // Adopts dc in place of the current context, which is released first.
  void Bind(HDC dc);
  // Deselects the store's objects and deletes the context.
  void Release();

  // Selects the palette (in the foreground) and realises it; nothing without a context or
  // a palette. The context's own palette is remembered the first time only.
  void SelectPalette(HPALETTE palette);
  // Selects the bitmap; nothing without a context or a bitmap.
  void SelectBitmap(HBITMAP bitmap);
  void DeselectPalette();
  void DeselectBitmap();
  void DeselectAll() {
    DeselectPalette();
    DeselectBitmap();
  }

 private:
  HDC dc_ = nullptr;
  HPALETTE oldPalette_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  bool paletteSelected_ = false;
  bool bitmapSelected_ = false;
};
