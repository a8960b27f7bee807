// What one PNG load leaves for a caller to see, as bytes, so that two ways of loading can be
// compared: the error message, or the picture's header, keys, text, palette and store.
#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/dib_desc.h"
#include "platform/stream.h"
#include "png/ux_png.h"

template <typename T>
void AppendValue(std::string& out, const T& value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// Pixels up to this size go into an outcome as they are; a larger picture, which the readers
// accept up to 2^28 pixels, goes in as its size and two checksums, not as a copy of gigabytes.
inline constexpr std::size_t kPixelsKeptWhole = std::size_t(1) << 20;

inline void AppendPixels(std::string& out, const unsigned char* bits, std::size_t size) {
  if (size <= kPixelsKeptWhole) {
    out.append(reinterpret_cast<const char*>(bits), size);
    return;
  }
  uLong crc = crc32(0, nullptr, 0), adler = adler32(0, nullptr, 0);
  for (std::size_t at = 0; at < size; at += kPixelsKeptWhole) {
    const uInt piece = uInt(std::min(kPixelsKeptWhole, size - at));
    crc = crc32(crc, bits + at, piece);
    adler = adler32(adler, bits + at, piece);
  }
  for (const std::uint64_t value : {std::uint64_t(size), std::uint64_t(crc), std::uint64_t(adler)})
    AppendValue(out, value);
}

// How an outcome of a load that brought no picture ends.
inline constexpr const char* kNoImage = "\nno image";

// Loads into `image`. Exceptions outside the platform's hierarchy pass through.
inline std::string PngLoadOutcome(TUxPNG& image, const std::uint8_t* data, std::size_t size) {
  TMemoryStream stream(std::vector<std::uint8_t>(data, data + size));
  try {
    image.LoadFromStream(stream);
  } catch (const Exception& e) {
    return "error: " + e.Message().bytes();
  }
  std::string out = "loaded: " + image.FInfoText.bytes();
  for (int value : {image.FInfoOffsetX, image.FInfoOffsetY, image.FInfoWidth, image.FInfoHeight,
                    image.FInfoColorBits, image.FInfoInterlace})
    AppendValue(out, value);
  if (!image.Image()->HasImage()) return out + kNoImage;
  const TVynDIBDesc& d = image.Image()->Desc();
  for (DWORD value : {DWORD(d.BitCount), DWORD(d.PaletteCount), d.Gamma, d.KeyFlags, d.TransValue,
                      d.BGValue, DWORD(d.AlphaCount), DWORD(d.UnitSpecifier)})
    AppendValue(out, value);
  out.append(reinterpret_cast<const char*>(d.Palette), sizeof(RGBQUAD) * kMaxPaletteEntries);
  out.append(reinterpret_cast<const char*>(AlphaTable(d)), kMaxPaletteEntries);
  AppendPixels(out, reinterpret_cast<const unsigned char*>(d.Bits),
               std::size_t(d.LineSize) * std::size_t(d.Height));
  return out;
}

// The outcome of loading the bytes once each way: whole first, then streaming.
inline std::pair<std::string, std::string> PngLoadOutcomesBothWays(const std::uint8_t* data,
                                                                   std::size_t size) {
  TUxPNG whole, streamed;
  std::pair<std::string, std::string> outcomes;
  outcomes.first = PngLoadOutcome(whole, data, size);
  streamed.ReadLimits.MaxWholeInflateBytes = 0;  // zlib in pieces, never whole
  outcomes.second = PngLoadOutcome(streamed, data, size);
  return outcomes;
}

// Whether the two outcomes of PngLoadOutcomesBothWays agree. They must be equal, with one
// exception: deflate data that breaks the format in ways zlib refuses but libdeflate decodes
// (a code of one codeword whose other codeword is used, distance codes 30 and 31) is decoded
// when it is inflated whole, and that load goes on past the image data to whatever end the
// rest of the file gives it.
inline bool InflatePathsAgree(const std::string& whole, const std::string& streamed) {
  return whole == streamed || streamed == "error: PNG LoadStream: zlib error";
}
