// The record of one PNG load, in parts. Each part is written by one stage of the reader and
// handed, on its own, to the stages that read it.
#pragma once

#include <array>
#include <cstdint>

#include "image/dib_desc.h"
#include "platform/ansi_string.h"
#include "platform/stream.h"
#include "png/chunks.h"
#include "png/png_limits.h"

class TVynCustomInternalDIB;

// IHDR, as read (png_chunk_handlers.cpp).
struct PngHeader {
  std::int32_t Width = 0, Height = 0;
  std::uint32_t BitDepth = 0;
  std::uint32_t ColorKind = 0;  // the colour type without its alpha bit: 0 grey, 2 RGB, 3 palette
  bool HasAlpha = false;        // colour type 4 or 6
  bool IsGrey = false;          // colour type 0 or 4
  std::uint32_t Compression = 0, FilterMethod = 0, Interlace = 0;

  bool Interlaced() const { return Interlace == 1; }
  // Bits per pixel of the file's colour samples, without the alpha share.
  std::uint32_t ColorBits() const { return BitDepth * (ColorKind == kColorTypeRGB ? 3 : 1); }
};

// PLTE (png_chunk_handlers.cpp).
struct PngPalette {
  std::array<RGBQUAD, kMaxPaletteLength> Entries{};  // blue, green, red, 0
  std::uint32_t Count = 0;
};

// tRNS and bKGD, in the form the descriptor takes them (png_chunk_handlers.cpp).
struct PngColourKeys {
  DWORD KeyFlags = 0;  // transparent, background and alpha modes, laid out as the descriptor's
  DWORD TransValue = 0, BGValue = 0;
  std::array<std::uint8_t, kMaxPaletteLength> Alpha{};  // palette alpha from tRNS
  int AlphaCount = 0;
};

// gAMA, pHYs and oFFs (png_chunk_handlers.cpp). Without pHYs the resolution stays 0, 0, 0.
struct PngPictureInfo {
  DWORD Gamma = 0;  // gamma × 100000, as stored
  std::uint8_t PhysUnit = 0;
  std::uint32_t PhysX = 0, PhysY = 0;
  std::int32_t OffsetX = 0, OffsetY = 0;  // in pixels; other units leave them 0
};

// tEXt and zTXt gathered into one Shift_JIS text (png_text_chunks.cpp).
struct PngText {
  AnsiString Bytes;
  // Something did not fit under the limit and was left out; later text chunks add nothing.
  bool Truncated = false;
};

// The caller sets Source, Target and Limits, runs PngLoadStream, attaches Desc to Target on
// success and copies the results it needs into the image.
struct PngReadState {
  TStream* Source = nullptr;
  TVynCustomInternalDIB* Target = nullptr;
  PngReadLimits Limits;

  bool Prefixed = false;  // the signature followed a 256-byte leading block (png_reader.cpp)
  PngHeader Header;
  PngPalette Palette;
  PngColourKeys Keys;
  PngPictureInfo Info;
  PngText Text;
  TVynDIBDesc Desc{};  // the new store's pixels, palette and keys (png_store_setup.cpp)
};
