// Helpers for the reader's tests: decode a PNG with our reader and with libpng, both as
// RGBA, and build small PNG files chunk by chunk.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "image/dib_desc.h"
#include "platform/stream.h"
#include "png/ux_png.h"
#include "tests/libpng_decode.h"

namespace pngread {

using Bytes = std::vector<std::uint8_t>;

inline std::string CorpusPath(const std::string& name) {
  return std::string(NIMBREL_CORPUS_DIR) + "/" + name;
}

inline Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Loads bytes into image through TUxPNG::LoadFromStream.
inline void Load(TUxPNG& image, const Bytes& bytes) {
  TMemoryStream stream(bytes);
  image.LoadFromStream(stream);
}

// The message of the exception a load raises; "" when it succeeds.
inline std::string LoadError(const Bytes& bytes) {
  TUxPNG image;
  try {
    Load(image, bytes);
  } catch (const Exception& e) {
    return e.Message().bytes();
  }
  return "";
}

// A picture as RGBA bytes; `alpha` says whether the alpha bytes mean anything.
struct Rgba {
  int width = 0;
  int height = 0;
  bool alpha = false;
  Bytes pixels;
  const std::uint8_t* At(int x, int y) const { return &pixels[(std::size_t(y) * width + x) * 4]; }
};

// Our store expanded to RGBA: palette indices through the palette, 24 and 32 bits as they
// are. Only a 32-bit store carries alpha.
inline Rgba StoreToRgba(const TVynDIBDesc& d) {
  Rgba out{d.Width, d.Height, d.BitCount == 32, Bytes(std::size_t(d.Width) * d.Height * 4)};
  for (int y = 0; y < d.Height; ++y) {
    const BYTE* row = PictureRow(d, y);
    for (int x = 0; x < d.Width; ++x) {
      std::uint8_t* o = &out.pixels[(std::size_t(y) * d.Width + x) * 4];
      int index = -1;
      switch (d.BitCount) {
        case 1:
          index = (row[x / 8] >> (7 - x % 8)) & 1;
          break;
        case 4:
          index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
          break;
        case 8:
          index = row[x];
          break;
        case 24:
          o[0] = row[3 * x + 2], o[1] = row[3 * x + 1], o[2] = row[3 * x], o[3] = 255;
          break;
        case 32:
          o[0] = row[4 * x + 2], o[1] = row[4 * x + 1], o[2] = row[4 * x], o[3] = row[4 * x + 3];
          break;
      }
      if (index >= 0) {
        const RGBQUAD& e = d.Palette[index];
        o[0] = e.rgbRed, o[1] = e.rgbGreen, o[2] = e.rgbBlue, o[3] = 255;
      }
    }
  }
  return out;
}

// libpng's decoding reduced the way our store reduces (LibpngForm::Rgba). The corpus holds
// files with deliberately odd ancillary chunks; their CRCs are not ours to judge here.
inline Rgba DecodeWithLibpng(const Bytes& bytes) {
  const LibpngImage decoded = DecodePng(bytes, LibpngForm::Rgba, LibpngCrc::Ignore);
  if (!decoded.ok) throw std::runtime_error("libpng: " + decoded.error);
  Rgba out{
      int(decoded.width), int(decoded.height), (decoded.colorType & PNG_COLOR_MASK_ALPHA) != 0, {}};
  for (const auto& row : decoded.rows) {
    if (row.size() != decoded.width * 4u) throw std::runtime_error("unexpected row size");
    out.pixels.insert(out.pixels.end(), row.begin(), row.end());
  }
  return out;
}

// Compares colours everywhere and alpha where both sides carry it; reports the first
// difference only.
inline void ExpectSamePicture(const Rgba& ours, const Rgba& theirs, const std::string& what) {
  ASSERT_EQ(ours.width, theirs.width) << what;
  ASSERT_EQ(ours.height, theirs.height) << what;
  const bool alpha = ours.alpha && theirs.alpha;
  for (int y = 0; y < ours.height; ++y)
    for (int x = 0; x < ours.width; ++x) {
      const std::uint8_t* a = ours.At(x, y);
      const std::uint8_t* b = theirs.At(x, y);
      if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2] || (alpha && a[3] != b[3])) {
        ADD_FAILURE() << what << ": pixel " << x << "," << y << " ours " << int(a[0]) << ","
                      << int(a[1]) << "," << int(a[2]) << "," << int(a[3]) << " libpng "
                      << int(b[0]) << "," << int(b[1]) << "," << int(b[2]) << "," << int(b[3]);
        return;
      }
    }
}

// --- Building files --------------------------------------------------------------------

inline void PutBE32(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(std::uint8_t(v >> shift));
}

inline void AppendChunk(Bytes& out, const char* type, const Bytes& data) {
  PutBE32(out, std::uint32_t(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  PutBE32(out, std::uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

inline Bytes Signature() {
  return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
}

inline Bytes IHDRData(std::uint32_t width, std::uint32_t height, std::uint8_t depth,
                      std::uint8_t colorType, std::uint8_t interlace = 0) {
  Bytes d;
  PutBE32(d, width);
  PutBE32(d, height);
  d.insert(d.end(), {depth, colorType, 0, 0, interlace});
  return d;
}

inline Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(uLong(raw.size()));
  Bytes out(size);
  if (compress(out.data(), &size, raw.data(), uLong(raw.size())) != Z_OK)
    throw std::runtime_error("compress failed");
  out.resize(size);
  return out;
}

// A tiny file builder: signature, then chunks in the order they are added, then IEND.
struct PngBuilder {
  Bytes bytes = Signature();
  PngBuilder& Chunk(const char* type, const Bytes& data) {
    AppendChunk(bytes, type, data);
    return *this;
  }
  PngBuilder& IHDR(std::uint32_t w, std::uint32_t h, std::uint8_t depth, std::uint8_t type,
                   std::uint8_t interlace = 0) {
    return Chunk("IHDR", IHDRData(w, h, depth, type, interlace));
  }
  // Rows given unfiltered (each starting with its filter byte), deflated into one IDAT.
  PngBuilder& IDAT(const Bytes& rawRows) { return Chunk("IDAT", Deflate(rawRows)); }
  Bytes End() {
    AppendChunk(bytes, "IEND", {});
    return bytes;
  }
};

}  // namespace pngread
