// The image descriptor shared by the pixel store and the codecs, the table block behind it, and
// what is worked out from a descriptor alone.
#pragma once

#include <cstddef>

#include "platform/kernel.h"
#include "platform/win_types.h"

struct TVynDIBDesc {
  int Allocated;                 // 1 once storage exists
  int Width;                     // pixels per row
  int Height;                    // rows, always positive
  int BitCount;                  // 1, 4, 8, 24 or 32
  int PaletteCount;              // palette entries in use, 0 to 256
  BITMAPINFOHEADER* InfoHeader;  // inside the table block; the palette follows it directly
  RGBQUAD* Palette;              // 256 entries (blue, green, red, 0)
  BYTE* Tables;                  // the table block
  BYTE* Bits;                    // pixel memory; the first stored row is the bottom row
  BYTE* TopLine;                 // Bits + LineSize × (Height − 1)
  int LineSize;                  // bytes per stored row, a multiple of 4
  HANDLE Section;                // the file mapping that holds the pixels
  int UnitSpecifier;             // 0 none (aspect ratio only), 1 metre, 2 inch
  int WidthSpecific;             // horizontal pixels per unit
  int HeightSpecific;            // vertical pixels per unit
  DWORD Gamma;                   // gamma × 100000 as the file stated it; 0 = none
  DWORD KeyFlags;                // see the kKey… constants below
  DWORD TransValue;              // transparent palette index (mode 1) or COLORREF (mode 2)
  DWORD Reserved1;
  DWORD BGValue;  // background palette index (mode 1) or COLORREF (mode 2)
  DWORD Reserved2;
  int AlphaCount;  // meaningful entries of the alpha table (alpha mode 1)
};

// KeyFlags: bits 0-1 transparent mode, bits 2-3 background mode, bits 4-6 alpha mode.
constexpr DWORD kKeyModeNone = 0;
constexpr DWORD kKeyModeIndex = 1;
constexpr DWORD kKeyModeColor = 2;
constexpr DWORD kTransModeMask = 0x03;
constexpr int kBGModeShift = 2;
constexpr DWORD kBGModeMask = 0x0C;
constexpr int kAlphaModeShift = 4;
constexpr DWORD kAlphaModeMask = 0x70;
constexpr int kAlphaModeNone = 0;
constexpr int kAlphaModeTable = 1;  // one alpha byte per palette entry
constexpr int kAlphaModePixel = 2;  // an alpha byte in each 32-bit pixel

constexpr DWORD TransMode(const TVynDIBDesc& d) {
  return d.KeyFlags & kTransModeMask;
}
constexpr DWORD BGMode(const TVynDIBDesc& d) {
  return (d.KeyFlags & kBGModeMask) >> kBGModeShift;
}
constexpr int AlphaMode(const TVynDIBDesc& d) {
  return int((d.KeyFlags & kAlphaModeMask) >> kAlphaModeShift);
}

// The table block: entry flags, alpha table, header, palette, spare bytes.
constexpr std::size_t kTableBlockSize = 1588;
constexpr std::size_t kEntryFlagsOffset = 0;
constexpr std::size_t kAlphaTableOffset = 256;
constexpr std::size_t kInfoHeaderOffset = 512;
constexpr std::size_t kPaletteOffset = kInfoHeaderOffset + sizeof(BITMAPINFOHEADER);
constexpr int kMaxPaletteEntries = 256;
static_assert(kPaletteOffset + kMaxPaletteEntries * sizeof(RGBQUAD) + 12 == kTableBlockSize);

inline BYTE* EntryFlags(const TVynDIBDesc& d) {
  return d.Tables + kEntryFlagsOffset;
}
inline BYTE* AlphaTable(const TVynDIBDesc& d) {
  return d.Tables + kAlphaTableOffset;
}
// Row y of the picture, 0 being the top row.
inline BYTE* PictureRow(const TVynDIBDesc& d, int y) {
  return d.TopLine - std::ptrdiff_t(y) * d.LineSize;
}

// A palette entry as COLORREF (red in the low byte).
constexpr COLORREF EntryColor(const RGBQUAD& q) {
  return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue);
}

// Writes the descriptor's resolution into its header's pixels-per-metre fields: 0 and 0 without
// a unit, the values as they are for metres, converted for inches; other units leave the header.
void WriteDescResolution(TVynDIBDesc& desc);
// Copies unit and both resolution values, then writes them into to's header.
void CopyDescResolution(const TVynDIBDesc& from, TVynDIBDesc& to);
// Copies the colour-key block (Gamma to AlphaCount, reserved words included).
void CopyDescColorKeys(const TVynDIBDesc& from, TVynDIBDesc& to);
// Copies the 256 palette entries, the entry flags and the alpha table, and the palette count
// (with the header's colours-used), so a copy keeps exactly the source's colour table.
void CopyDescColorTables(const TVynDIBDesc& from, TVynDIBDesc& to);

// The nearest palette entry to color over the first count entries: smallest sum of absolute
// channel differences, the lower index on a tie; an exact match ends the search. -1 when
// count is 0 or there is no palette.
int NearestPaletteIndex(const RGBQUAD* palette, int count, COLORREF color);
