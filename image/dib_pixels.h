// Single pixels of a descriptor's picture, one set of accessors per bit count. x and y lie
// inside the picture, y = 0 being the top row.
#pragma once

#include "image/dib_desc.h"
#include "platform/win_types.h"

// GetColor gives a COLORREF for every bit count (a palette entry's colour for 1 to 8 bits), so
// that it reads back what SetColor wrote; SetColor of a palette picture writes the entry
// nearest to the colour.
struct PixelAccessors {
  DWORD (*Get)(const TVynDIBDesc& desc, int x, int y);
  void (*Set)(const TVynDIBDesc& desc, int x, int y, DWORD value);
  COLORREF (*GetColor)(const TVynDIBDesc& desc, int x, int y);
  void (*SetColor)(const TVynDIBDesc& desc, int x, int y, COLORREF color);
};

// The accessors of 1, 4, 8, 24 or 32 bits; for any other bit count, ones that read 0 and
// write nothing.
const PixelAccessors& PixelAccessorsFor(int bitCount);

// Entry index of the first count entries of palette as 0x00RRGGBB (red in the high byte);
// raises "GetColorRef: over PaletteIndex" outside them.
COLORREF PaletteColorRef(const RGBQUAD* palette, int count, int index);
