// Helpers for the writer's tests: split a written file into chunks (checking every CRC),
// decode it with libpng, and build images with known pixels.
#pragma once

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/stream.h"
#include "png/chunks.h"
#include "png/ux_png.h"

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

// What libpng makes of a file: the header, and every pixel as one byte per sample
// (palette indices unexpanded, 1- and 4-bit samples unpacked).
struct Decoded {
  std::uint32_t width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  int channels = 0;
  std::vector<Bytes> rows;
  std::vector<std::string> warnings;
};

struct LibpngReader {
  const Bytes* file;
  std::size_t pos;
  Decoded* out;
  std::string error;
  std::vector<png_bytep> rowPointers;
};

inline void PrepareRows(LibpngReader* r, std::size_t rowBytes) {
  r->out->rows.assign(r->out->height, Bytes(rowBytes));
  for (Bytes& row : r->out->rows) r->rowPointers.push_back(row.data());
}

// All libpng calls live here, with no C++ object on the frame that libpng's longjmp would
// skip.
inline bool DecodeInto(png_structp png, png_infop info, LibpngReader* r) {
  if (setjmp(png_jmpbuf(png))) return false;
  // Unknown ancillary chunks (our uxPg) must be skipped quietly.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_read_info(png, info);
  Decoded* out = r->out;
  out->width = png_get_image_width(png, info);
  out->height = png_get_image_height(png, info);
  out->bitDepth = png_get_bit_depth(png, info);
  out->colorType = png_get_color_type(png, info);
  out->interlace = png_get_interlace_type(png, info);
  if (out->bitDepth < 8) png_set_packing(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out->channels = png_get_channels(png, info);
  PrepareRows(r, png_get_rowbytes(png, info));
  png_read_image(png, r->rowPointers.data());
  png_read_end(png, info);
  return true;
}

// Decodes with libpng; a libpng error becomes an exception, warnings are collected.
inline Decoded DecodeWithLibpng(const Bytes& file) {
  Decoded out;
  LibpngReader reader{&file, 0, &out, {}, {}};
  png_structp png = png_create_read_struct(
      PNG_LIBPNG_VER_STRING, &reader,
      [](png_structp p, png_const_charp msg) {
        static_cast<LibpngReader*>(png_get_error_ptr(p))->error = msg;
      },
      [](png_structp p, png_const_charp msg) {
        static_cast<LibpngReader*>(png_get_error_ptr(p))->out->warnings.push_back(msg);
      });
  png_infop info = png_create_info_struct(png);
  png_set_read_fn(png, &reader, [](png_structp p, png_bytep data, png_size_t length) {
    auto* r = static_cast<LibpngReader*>(png_get_io_ptr(p));
    if (r->file->size() - r->pos < length) png_error(p, "read past end");
    std::copy_n(r->file->begin() + std::ptrdiff_t(r->pos), length, data);
    r->pos += length;
  });
  const bool ok = DecodeInto(png, info, &reader);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) throw std::runtime_error("libpng: " + reader.error);
  return out;
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
