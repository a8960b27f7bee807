// The working record of one PNG load, shared by the chunk loop, the chunk-stream helpers, the
// chunk handlers and the image-data path.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "image/dib_desc.h"
#include "image/internal_dib.h"
#include "platform/ansi_string.h"
#include "platform/fresh_pages.h"
#include "platform/stream.h"
#include "png/png_limits.h"
#include "png/png_row_convert.h"

class InflateStream;

// The working record of one load. The caller sets Source and Target, runs PngLoadStream,
// attaches Desc to Target on success and copies the results it needs into the image. Made and
// ended in png_reader.cpp, which owns the inflate stream's lifetime.
struct PngReadState {
  PngReadState();
  ~PngReadState();
  PngReadState(const PngReadState&) = delete;
  PngReadState& operator=(const PngReadState&) = delete;

  TStream* Source = nullptr;
  TVynCustomInternalDIB* Target = nullptr;
  PngReadLimits Limits;

  TVynDIBDesc Desc{};                       // pixel storage once the image data begins
  std::unique_ptr<InflateStream> Inflater;  // image data and every zTXt chunk
  std::int32_t ChunkLeft = 0;               // unread bytes of the current chunk's data

  bool SeenIHDR = false, SeenPLTE = false, SeenTRNS = false, SeenBKGD = false;
  bool SeenGAMA = false, SeenPHYS = false, SeenOFFS = false, SeenIEND = false;
  bool DoneIDAT = false;
  // The chunk just handled was IDAT and the image data was complete: further IDAT chunks
  // in the same run carry only the rest of the compressed stream (its trailer).
  bool InTrailingIDAT = false;
  bool ImageDataEnded = false;  // the compressed image data reached its end

  AnsiString Text;        // gathered tEXt / zTXt text, Shift_JIS bytes
  bool TextFull = false;  // the text reached its limit: further text chunks add nothing
  std::int32_t OffsetX = 0, OffsetY = 0;
  bool Prefixed = false;

  std::int32_t Width = 0, Height = 0;
  std::uint32_t BitDepth = 0;
  std::uint32_t ColorKind = 0;  // 0 grey, 2 RGB, 3 palette
  bool HasAlpha = false, IsGrey = false, IsPalette = false;
  std::uint32_t Compression = 0, FilterMethod = 0, Interlace = 0;

  std::uint8_t PhysUnit = 0;
  std::uint32_t PhysX = 0, PhysY = 0;

  std::uint32_t PixelBits = 0;
  std::uint32_t ImageBits = 0;
  std::uint32_t ColorBits = 0;
  std::uint32_t PLTECount = 0;
  std::array<RGBQUAD, 256> PaletteTable{};
  std::array<std::uint8_t, 256> AlphaTable{};
  std::uint32_t PaletteCount = 0;
  DWORD ReaderKeyFlags = 0;
  // The colour-key block the chunks fill; copied behind the store's part of Desc.
  DWORD Gamma = 0, TransValue = 0, BGValue = 0;
  int AlphaCount = 0;

  RowFormat Format{};  // ConvertRow / PlaceRow, chosen once per image

  ScratchBytes InBuf;  // compressed image data in, inflated text out
};
