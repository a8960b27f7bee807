// Helpers for the writer's tests: split a written file into chunks (checking every CRC),
// decode it with libpng, and build images with known pixels.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/stream.h"
#include "png/chunks.h"
#include "png/ux_png.h"
#include "tests/libpng_decode.h"

namespace pngtest {

using Bytes = std::vector<std::uint8_t>;

inline std::uint32_t BE32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

inline std::string TypeName(std::uint32_t type) {
  return {char(type >> 24), char(type >> 16), char(type >> 8), char(type)};
}

struct Chunk {
  std::string type;
  Bytes data;
};

// The chunks after the signature; fails the caller's test through the exception text when
// the signature, a length or a CRC is wrong.
inline std::vector<Chunk> SplitChunks(const Bytes& file) {
  if (file.size() < 8 || !std::equal(kPngSignature.begin(), kPngSignature.end(), file.begin()))
    throw std::runtime_error("no PNG signature");
  std::vector<Chunk> chunks;
  std::size_t pos = 8;
  while (pos < file.size()) {
    if (file.size() - pos < 12) throw std::runtime_error("truncated chunk");
    const std::uint32_t length = BE32(&file[pos]);
    if (file.size() - pos - 12 < length) throw std::runtime_error("chunk overruns file");
    const std::uint8_t* type = &file[pos + 4];
    const std::uint32_t crc = std::uint32_t(crc32(crc32(0, nullptr, 0), type, length + 4));
    if (crc != BE32(type + 4 + length)) throw std::runtime_error("bad CRC");
    chunks.push_back({std::string(type, type + 4), Bytes(type + 4, type + 4 + length)});
    pos += 12 + length;
  }
  return chunks;
}

inline std::vector<std::string> ChunkTypes(const std::vector<Chunk>& chunks) {
  std::vector<std::string> types;
  for (const Chunk& c : chunks) types.push_back(c.type);
  return types;
}

// Chunk types with consecutive IDATs folded into one "IDAT", for order checks.
inline std::vector<std::string> ChunkOrder(const std::vector<Chunk>& chunks) {
  std::vector<std::string> types;
  for (const Chunk& c : chunks)
    if (types.empty() || c.type != "IDAT" || types.back() != "IDAT") types.push_back(c.type);
  return types;
}

inline const Chunk* FindChunk(const std::vector<Chunk>& chunks, const std::string& type) {
  for (const Chunk& c : chunks)
    if (c.type == type) return &c;
  return nullptr;
}

// The concatenated IDAT data inflated.
inline Bytes InflateImageData(const std::vector<Chunk>& chunks) {
  Bytes compressed;
  for (const Chunk& c : chunks)
    if (c.type == "IDAT") compressed.insert(compressed.end(), c.data.begin(), c.data.end());
  Bytes out(1 << 16);
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) throw std::runtime_error("inflateInit");
  zs.next_in = compressed.data();
  zs.avail_in = uInt(compressed.size());
  std::size_t used = 0;
  int result = Z_OK;
  while (result == Z_OK) {
    if (used == out.size()) out.resize(out.size() * 2);
    zs.next_out = out.data() + used;
    zs.avail_out = uInt(out.size() - used);
    result = inflate(&zs, Z_NO_FLUSH);
    used = out.size() - zs.avail_out;
  }
  inflateEnd(&zs);
  if (result != Z_STREAM_END) throw std::runtime_error("bad zlib stream");
  out.resize(used);
  return out;
}

// libpng's decoding of a file we wrote, samples as stored; a file libpng refuses fails the
// test through the exception.
inline LibpngImage DecodeWithLibpng(const Bytes& file) {
  LibpngImage decoded = DecodePng(file);
  if (!decoded.ok) throw std::runtime_error("libpng: " + decoded.error);
  return decoded;
}

// A TUxPNG holding a new store of the given shape; the pixels come from fill(x, y), which
// gives an index for palette images and 0xAARRGGBB for 24/32 bits.
template <typename Fill>
std::unique_ptr<TUxPNG> MakeImage(int width, int height, int bitCount, Fill fill,
                                  const std::vector<RGBQUAD>& palette = {}, bool withAlpha = true) {
  auto image = std::make_unique<TUxPNG>();
  TVynCustomInternalDIB& store = *image->Image();
  store.CreateImage(width, height, bitCount == 32 && withAlpha,
                    palette.empty() ? nullptr : palette.data(), int(palette.size()), bitCount);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint32_t v = fill(x, y);
      if (bitCount <= 8)
        store.SetPixel(x, y, v);
      else if (bitCount == 24)
        store.SetPixel(x, y, v & 0xFFFFFF);  // blue low, red high, as stored
      else
        store.SetPixel(x, y, v);
    }
  return image;
}

// The pixel (x, y) of a store as libpng reports it after unpacking: palette index, or
// red, green, blue (, alpha).
inline Bytes StoredPixel(TVynCustomInternalDIB& store, int x, int y) {
  const std::uint32_t v = store.GetPixel(x, y);
  switch (store.BitCount()) {
    case 24:
      return {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)};
    case 32:
      return {std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v), std::uint8_t(v >> 24)};
    default:
      return {std::uint8_t(v)};
  }
}

inline Bytes Save(TUxPNG& image) {
  TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

}  // namespace pngtest
