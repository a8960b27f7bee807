// The one decoder behind the BMP stream reader and the packed-DIB clipboard reader: header
// variants, colour tables, bit masks and the pixel data (plain, masked to 24 bits, RLE8, RLE4).
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "image/bmp_source.h"
#include "image/internal_dib.h"
#include "platform/win_types.h"

// BI_ALPHABITFIELDS: bit fields with a fourth (alpha) mask.
constexpr DWORD BI_ALPHABITFIELDS = 6;

// The method names the messages of one reader begin with. The clipboard reader's messages are
// not all spelt alike, so each message that exists in both readers has its own entry.
struct BmpMessages {
  const char* method;       // the reader's own faults ("Invalid Header Size", ...)
  const char* sizeMethod;   // "Invalid Width or Height"
  const char* masksMethod;  // "Invalid Masks"
};
extern const BmpMessages kStreamMessages;
extern const BmpMessages kClipboardMessages;

// What the headers, masks and colour table say.
struct BmpInfo {
  std::uint32_t headerSize = 0;
  bool core = false;  // 12-byte header: 3-byte colour entries, 16-bit sizes
  int width = 0;
  int height = 0;  // always positive
  bool topDown = false;
  int bitCount = 0;
  DWORD compression = BI_RGB;
  int unitSpecifier = 0;
  int xPelsPerMeter = 1;
  int yPelsPerMeter = 1;
  std::array<DWORD, 4> masks{};  // red, green, blue, alpha
  bool alphaMaskStated = false;  // the header carries an alpha mask
  bool masked = false;           // pixels go through the masks into a 24-bit image
  std::uint32_t colors = 0;      // colour-table entries the data holds
  std::array<RGBQUAD, 256> table{};
  int paletteCount = 0;  // entries handed to the new image
};

// Reads the info header, the masks and the colour table, checking every size and count.
// pixelOffset is where the file header says the pixels start (relative to the "BM").
BmpInfo ReadBmpInfo(BmpSource& source, const BmpMessages& messages,
                    std::optional<std::uint64_t> pixelOffset);

// Reads the pixel data described by info into store (a new image replaces its content).
void DecodeBmpPixels(BmpSource& source, const BmpInfo& info,
                     std::optional<std::uint64_t> pixelOffset, TVynCustomInternalDIB& store);

// Header, masks, table and pixels in one.
void DecodeBmp(BmpSource& source, const BmpMessages& messages,
               std::optional<std::uint64_t> pixelOffset, TVynCustomInternalDIB& store);
