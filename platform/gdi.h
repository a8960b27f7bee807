// The graphics device interface the image library is written against: palettes, bitmaps
// (device-independent sections and device-dependent screen bitmaps) and device contexts.
// Handles are pointers to the objects below; DeleteObject / DeleteDC free them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/kernel.h"
#include "platform/win_types.h"

struct GdiObject {
  virtual ~GdiObject() = default;
};
using HGDIOBJ = GdiObject*;

struct GdiPalette : GdiObject {
  std::vector<PALETTEENTRY> entries;
};
using HPALETTE = GdiPalette*;

// A bitmap. A DIB section (isSection) keeps bottom-up rows in the layout of its BITMAPINFOHEADER,
// in memory it owns or in a view of a file mapping. A device-dependent bitmap has the screen's
// depth (32 bits on a true-colour screen, 8 bits with the system palette on a palette display)
// and keeps its rows top-down.
struct GdiBitmap : GdiObject {
  bool isSection = false;
  BITMAPINFOHEADER header{};    // for a DDB: width, height, planes 1, bit count
  std::vector<RGBQUAD> colors;  // a section's colour table (at most 256 entries)
  BYTE* bits = nullptr;         // first stored row
  std::size_t lineSize = 0;     // bytes per stored row, a multiple of 4 (2 for a DDB)
  std::vector<BYTE> ownedBits;  // storage when the bitmap owns its pixels
  void* view = nullptr;         // storage when the pixels are a view of a mapping
  HANDLE section = nullptr;     // the mapping the view belongs to (not owned)
  DWORD sectionOffset = 0;
  ~GdiBitmap() override;
};
using HBITMAP = GdiBitmap*;

// A device context: the screen, or a memory context with a bitmap selected into it.
struct DeviceContext {
  bool isScreen = false;
  HPALETTE palette = nullptr;  // the selected palette; nullptr means the default palette
  HBITMAP bitmap = nullptr;    // the selected bitmap of a memory context
  int stretchMode = 1;         // BLACKONWHITE
};
using HDC = DeviceContext*;

constexpr UINT DIB_RGB_COLORS = 0;
constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr int BLACKONWHITE = 1;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;

// GetDeviceCaps indices and values.
constexpr int BITSPIXEL = 12;
constexpr int NUMCOLORS = 24;
constexpr int RASTERCAPS = 38;
constexpr int RC_PALETTE = 0x0100;

struct LOGPALETTE {
  WORD palVersion;
  WORD palNumEntries;
  PALETTEENTRY palPalEntry[1];
};

// Palettes.
HPALETTE CreatePalette(const LOGPALETTE* logPalette);
// Copies up to count entries from start into entries (when given); returns the number of
// entries copied, or the palette's size when entries is nullptr. 0 for an invalid palette.
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries);
HPALETTE CopyPalette(HPALETTE palette);
// The screen's halftone palette: the library's 256-entry halftone table.
HPALETTE CreateHalftonePalette(HDC dc);

BOOL DeleteObject(HGDIOBJ object);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);
// Drawing is synchronous here, so there is never queued work to finish.
BOOL GdiFlush();

// Device contexts. GetDC(nullptr) is the screen.
HDC GetDC(void* window);
int ReleaseDC(void* window, HDC dc);
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
int GetDeviceCaps(HDC dc, int index);
int SetStretchBltMode(HDC dc, int mode);

// The screen is true colour (32 bits) unless a test switches it to a 256-colour palette display.
void SetPaletteDisplay(bool paletteDisplay);

// Bitmaps.
struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  void* bmBits;
};
struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

// A DIB section over new zeroed memory, or over a view of section at offset. *bits receives
// the pixel address. A negative biHeight makes a section with top-down rows. Returns nullptr on
// failure (bad header, or more than 4 GiB − 1 bytes of pixels).
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// A device-dependent bitmap of the screen's depth.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);
// Fills a BITMAP (size sizeof(BITMAP)) or DIBSECTION (size sizeof(DIBSECTION), sections only);
// returns the bytes written, 0 when the object is not a bitmap or the size does not fit.
int GetObject(HGDIOBJ object, int size, void* buffer);

// Copies lines of a bitmap into a DIB of the layout info describes (bottom-up unless biHeight
// is negative), converting from the bitmap's depth; for 8 bits or fewer it also fills info's
// colour table from the bitmap (a section's table, or the palette selected into dc). Returns
// the number of lines copied, 0 on failure.
int GetDIBits(HDC dc, HBITMAP bitmap, UINT startLine, UINT lines, void* bits, BITMAPINFO* info,
              UINT usage);
// Paints a rectangle of a DIB into the bitmap selected into dc (a memory context), stretching
// it to the destination rectangle by the context's stretch mode and matching colours to the
// destination's colour table. Returns the number of lines painted, 0 on failure.
int StretchDIBits(HDC dc, int xDest, int yDest, int destWidth, int destHeight, int xSrc, int ySrc,
                  int srcWidth, int srcHeight, const void* bits, const BITMAPINFO* info, UINT usage,
                  DWORD rop);
