// TCanvas: drawing on a bitmap through a device context.
#pragma once

#include "platform/gdi.h"
#include "platform/win_types.h"

class TCanvas {
 public:
  virtual ~TCanvas() = default;

  HDC Handle() const { return handle_; }
  void SetHandle(HDC dc) { handle_ = dc; }
  // Raster operation used when pictures are copied onto the canvas.
  DWORD CopyMode = SRCCOPY;

 private:
  HDC handle_ = nullptr;
};
