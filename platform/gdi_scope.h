// Scoped device contexts and selections: each gives back what it took on every path.
#pragma once

#include "platform/gdi.h"

// The screen's device context, released at the end of the scope. get() is nullptr when the
// screen context is not available.
class ScreenDC {
 public:
  ScreenDC() : dc_(GetDC(nullptr)) {}
  ~ScreenDC() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  ScreenDC(const ScreenDC&) = delete;
  ScreenDC& operator=(const ScreenDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// A memory device context compatible with the screen, deleted at the end of the scope.
class MemoryDC {
 public:
  MemoryDC() : dc_(CreateCompatibleDC(nullptr)) {}
  ~MemoryDC() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  MemoryDC(const MemoryDC&) = delete;
  MemoryDC& operator=(const MemoryDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// Selects a palette (forced background) and realises it; the previous palette goes back at
// the end of the scope. A null palette selects nothing.
class PaletteSelection {
 public:
  PaletteSelection(HDC dc, HPALETTE palette) : dc_(dc) {
    if (dc_ == nullptr || palette == nullptr) return;
    old_ = SelectPalette(dc_, palette, TRUE);
    RealizePalette(dc_);
  }
  ~PaletteSelection() {
    if (old_ != nullptr) SelectPalette(dc_, old_, TRUE);
  }
  PaletteSelection(const PaletteSelection&) = delete;
  PaletteSelection& operator=(const PaletteSelection&) = delete;

 private:
  HDC dc_;
  HPALETTE old_ = nullptr;
};

// Sets the stretch mode of a context; the previous mode goes back at the end of the scope.
class StretchModeScope {
 public:
  StretchModeScope(HDC dc, int mode) : dc_(dc), old_(SetStretchBltMode(dc, mode)) {}
  ~StretchModeScope() {
    if (old_ != 0) SetStretchBltMode(dc_, old_);
  }
  StretchModeScope(const StretchModeScope&) = delete;
  StretchModeScope& operator=(const StretchModeScope&) = delete;

 private:
  HDC dc_;
  int old_;
};
