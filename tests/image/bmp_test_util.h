// Builds BMP files and packed DIBs byte by byte for the BMP and clipboard tests.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "image/custom_dib.h"
#include "platform/exception.h"
#include "platform/stream.h"

using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& b, std::uint32_t v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
inline void PutU32(Bytes& b, std::uint32_t v) {
  PutU16(b, v & 0xFFFF);
  PutU16(b, v >> 16);
}
inline std::uint32_t GetU32(const Bytes& b, std::size_t at) {
  return std::uint32_t(b[at]) | (std::uint32_t(b[at + 1]) << 8) | (std::uint32_t(b[at + 2]) << 16) |
         (std::uint32_t(b[at + 3]) << 24);
}

// What goes into a test file. Colour entries are 0x00RRGGBB words written as blue, green, red
// (and a zero byte unless the header is a 12-byte core header).
struct BmpParts {
  std::int32_t width = 4;
  std::int32_t height = 2;
  int bitCount = 8;
  std::uint32_t compression = 0;
  std::uint32_t headerSize = 40;
  std::uint32_t colorsUsed = 0;
  std::int32_t xPels = 0;
  std::int32_t yPels = 0;
  std::vector<std::uint32_t> headerMasks;  // written inside a header of 52 bytes or more
  std::vector<std::uint32_t> masks;        // written after the header
  std::vector<std::uint32_t> table;
  Bytes gap;  // between the colour table and the pixels
  Bytes pixels;
  std::optional<std::uint32_t> offBits;  // defaults to where the pixels really start
};

// The packed DIB: header, masks, colour table, gap, pixels.
inline Bytes BuildPackedDib(const BmpParts& p) {
  Bytes b;
  PutU32(b, p.headerSize);
  if (p.headerSize == 12) {
    PutU16(b, std::uint32_t(p.width));
    PutU16(b, std::uint32_t(p.height));
    PutU16(b, 1);
    PutU16(b, std::uint32_t(p.bitCount));
  } else {
    PutU32(b, std::uint32_t(p.width));
    PutU32(b, std::uint32_t(p.height));
    PutU16(b, 1);
    PutU16(b, std::uint32_t(p.bitCount));
    PutU32(b, p.compression);
    PutU32(b, 0);
    PutU32(b, std::uint32_t(p.xPels));
    PutU32(b, std::uint32_t(p.yPels));
    PutU32(b, p.colorsUsed);
    PutU32(b, 0);
    for (std::uint32_t m : p.headerMasks) PutU32(b, m);
    // An absurd header size is stated, not padded out.
    while (b.size() < p.headerSize && b.size() < 1024) b.push_back(0);
  }
  for (std::uint32_t m : p.masks) PutU32(b, m);
  for (std::uint32_t c : p.table) {
    b.push_back(std::uint8_t(c));
    b.push_back(std::uint8_t(c >> 8));
    b.push_back(std::uint8_t(c >> 16));
    if (p.headerSize != 12) b.push_back(0);
  }
  b.insert(b.end(), p.gap.begin(), p.gap.end());
  b.insert(b.end(), p.pixels.begin(), p.pixels.end());
  return b;
}

// The file: "BM" file header, then the packed DIB.
inline Bytes BuildBmp(const BmpParts& p) {
  const Bytes dib = BuildPackedDib(p);
  Bytes b;
  PutU16(b, 0x4D42);
  PutU32(b, std::uint32_t(14 + dib.size()));
  PutU32(b, 0);
  PutU32(b, p.offBits ? *p.offBits : std::uint32_t(14 + dib.size() - p.pixels.size()));
  b.insert(b.end(), dib.begin(), dib.end());
  return b;
}

inline void LoadBytes(TVynCustomDIB& image, const Bytes& bytes) {
  TMemoryStream stream(bytes);
  image.LoadFromStream(stream);
}

inline Bytes SaveBytes(TVynCustomDIB& image) {
  TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

// Row y of the picture (0 = top) of an image's store.
inline const BYTE* Row(TVynCustomDIB& image, int y) {
  return PictureRow(image.Image()->Desc(), y);
}
