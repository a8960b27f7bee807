#include "png/png_chunk_handlers.h"

#include <algorithm>
#include <initializer_list>

#include "platform/byte_order.h"
#include "png/chunks.h"

namespace {

constexpr std::size_t kIHDRBytesRead = 13;
constexpr std::uint32_t kLengthTRNSGrey = 2, kLengthTRNSRGB = 6;
constexpr std::uint32_t kLengthBKGDGrey = 2, kLengthBKGDRGB = 6, kLengthBKGDPalette = 1;
constexpr std::uint32_t kLengthGAMA = 4, kLengthPHYS = 9, kLengthOFFS = 9;
constexpr std::uint8_t kOffsetUnitPixel = 0;

void SetTransMode(PngColourKeys& k, DWORD mode) {
  k.KeyFlags = (k.KeyFlags & ~kTransModeMask) | mode;
}
void SetBGMode(PngColourKeys& k, DWORD mode) {
  k.KeyFlags = (k.KeyFlags & ~kBGModeMask) | (mode << kBGModeShift);
}
void SetAlphaMode(PngColourKeys& k, int mode) {
  k.KeyFlags = (k.KeyFlags & ~kAlphaModeMask) | (DWORD(mode) << kAlphaModeShift);
}

// Entries of the grey ramp a grey image gets as its palette: a grey level at or beyond it
// names no pixel, so a colour key with such a level can never match and is dropped.
std::uint32_t GreyRampEntries(std::uint32_t bitDepth) {
  return bitDepth >= 8 ? 256u : 1u << bitDepth;
}

// A 16-bit grey sample in the image's scale: 16-bit images keep the high byte.
std::uint32_t GreyLevel(const PngHeader& h, std::uint16_t v) {
  return h.BitDepth > 8 ? std::uint32_t(v >> 8) : v;
}

// Three 16-bit samples as a COLORREF: the low bytes for 8-bit images, the high bytes for
// 16-bit ones.
DWORD ReadColorRef(ChunkCursor& chunk, const PngHeader& h) {
  const int shift = h.BitDepth == 16 ? 8 : 0;
  const DWORD red = (chunk.ReadU16() >> shift) & 0xFF;
  const DWORD green = (chunk.ReadU16() >> shift) & 0xFF;
  const DWORD blue = (chunk.ReadU16() >> shift) & 0xFF;
  return red | green << 8 | blue << 16;
}

bool IsOneOf(std::uint32_t depth, std::initializer_list<std::uint32_t> depths) {
  return std::find(depths.begin(), depths.end(), depth) != depths.end();
}

void CheckDepth(const PngHeader& h) {
  switch (h.ColorKind) {
    case kColorTypeGray:
      if (!IsOneOf(h.BitDepth, {1, 2, 4, 8, 16})) ReaderFail("PNG LoadStream: Error Bitdepth");
      if (h.HasAlpha && h.BitDepth < 8) ReaderFail("PNG LoadStream: not Use AlphaChannel");
      break;
    case kColorTypeRGB:
      if (!IsOneOf(h.BitDepth, {8, 16})) ReaderFail("PNG LoadStream: Error BitDepth");
      break;
    default:  // palette
      if (!IsOneOf(h.BitDepth, {1, 2, 4, 8})) ReaderFail("PNG LoadStream: Error BitDepth");
      break;
  }
}

// The file decides the image's size, so the size is checked here, long before anything is
// allocated for it.
void CheckSize(const PngHeader& h, const PngReadLimits& limits) {
  if (h.Width <= 0 || h.Height <= 0 || h.Width > kMaxImageDimension ||
      h.Height > kMaxImageDimension)
    ReaderFail("PNG LoadStream: Error Width or Height");
  if (std::int64_t(h.Width) * h.Height > limits.MaxPixels)
    ReaderFail("PNG LoadStream: image too large");
}

}  // namespace

void HandleIHDR(ChunkCursor& chunk, const PngReadLimits& limits, PngHeader& h) {
  // IHDR is read as 13 bytes whatever its length says; the chunk loop then takes the CRC.
  std::uint8_t bytes[kIHDRBytesRead];
  chunk.ReadIgnoringLength(bytes, sizeof bytes);
  h.Width = std::int32_t(LoadBE32(bytes));
  h.Height = std::int32_t(LoadBE32(bytes + 4));
  h.BitDepth = bytes[8];
  const std::uint32_t colorType = bytes[9] & 7u;  // only the low three bits count
  if (colorType == 1 || colorType == 5 || colorType == 7)
    ReaderFail("PNG LoadStream: Error ColorType");
  h.HasAlpha = (colorType & 4) != 0;
  h.ColorKind = colorType & 3;
  h.IsGrey = h.ColorKind == kColorTypeGray;
  CheckDepth(h);
  h.Compression = bytes[10];
  h.FilterMethod = bytes[11];
  h.Interlace = bytes[12];
  if (h.Compression > 1) ReaderFail("PNG LoadStream: not support Compression");
  if (h.FilterMethod > 1) ReaderFail("PNG LoadStream: not supprt Filter");
  if (h.Interlace > 1) ReaderFail("PNG LoadStream: not interlace type");
  CheckSize(h, limits);
}

void HandlePLTE(ChunkCursor& chunk, bool afterImageData, PngPalette& palette) {
  if (chunk.Left() % 3 != 0) ReaderFail("PNG LoadStream: palettesize error");
  const std::uint32_t count = chunk.Left() / 3;
  if (count > kMaxPaletteLength) ReaderFail("PNG LoadStream: palette length over");
  std::uint8_t rgb[kMaxPaletteLength * 3];
  chunk.Read(rgb, count * 3);
  if (afterImageData) return;
  for (std::uint32_t i = 0; i < count; ++i)
    palette.Entries[i] = RGBQUAD{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 0};
  palette.Count = count;
}

void HandleTRNS(ChunkCursor& chunk, const PngHeader& h, const PngPalette& palette,
                PngColourKeys& k) {
  // Images with an alpha channel carry their own transparency.
  if (h.HasAlpha) return chunk.SkipRest();
  switch (h.ColorKind) {
    case kColorTypeGray: {
      if (chunk.Left() != kLengthTRNSGrey) ReaderFail("PNG LoadStream: error TransColor");
      const std::uint32_t level = GreyLevel(h, chunk.ReadU16());
      if (level < GreyRampEntries(h.BitDepth)) {
        k.TransValue = level;  // the grey level is the index into the grey ramp
        SetTransMode(k, kKeyModeIndex);
      }
      break;
    }
    case kColorTypeRGB:
      if (chunk.Left() != kLengthTRNSRGB) ReaderFail("PNG LoadStream: error TransColor");
      k.TransValue = ReadColorRef(chunk, h);
      SetTransMode(k, kKeyModeColor);
      break;
    default:  // palette: one alpha value per entry, at most one per entry there is
      if (chunk.Left() > palette.Count) ReaderFail("PNG LoadStream: error TransColor");
      k.AlphaCount = int(chunk.Left());
      chunk.Read(k.Alpha.data(), chunk.Left());
      SetTransMode(k, kKeyModeNone);
      SetAlphaMode(k, kAlphaModeTable);
      break;
  }
}

void HandleBKGD(ChunkCursor& chunk, const PngHeader& h, const PngPalette& palette,
                PngColourKeys& k) {
  switch (h.ColorKind) {
    case kColorTypeGray: {
      if (chunk.Left() != kLengthBKGDGrey) ReaderFail("PNG LoadStream: error BGColor");
      const std::uint32_t level = GreyLevel(h, chunk.ReadU16());
      if (h.HasAlpha) {
        // A grey-with-alpha image is stored as 32-bit colour: the grey becomes a colour.
        const DWORD v = level & 0xFF;
        k.BGValue = v | v << 8 | v << 16;
        SetBGMode(k, kKeyModeColor);
      } else if (level < GreyRampEntries(h.BitDepth)) {
        k.BGValue = level;
        SetBGMode(k, kKeyModeIndex);
      }
      break;
    }
    case kColorTypeRGB:
      if (chunk.Left() != kLengthBKGDRGB) ReaderFail("PNG LoadStream: error BGColor");
      k.BGValue = ReadColorRef(chunk, h);
      SetBGMode(k, kKeyModeColor);
      break;
    default:
      if (chunk.Left() != kLengthBKGDPalette) ReaderFail("PNG LoadStream: error BGColor");
      k.BGValue = chunk.ReadU8();
      if (k.BGValue >= palette.Count) ReaderFail("PNG LoadStream: error BGColorIndex");
      SetBGMode(k, kKeyModeIndex);
      break;
  }
}

void HandleGAMA(ChunkCursor& chunk, PngPictureInfo& info) {
  if (chunk.Left() != kLengthGAMA) ReaderFail("PNG LoadStream: error gAMA");
  info.Gamma = chunk.ReadU32();
}

void HandlePHYS(ChunkCursor& chunk, PngPictureInfo& info) {
  if (chunk.Left() != kLengthPHYS) ReaderFail("PNG LoadStream: error pHYs");
  info.PhysX = chunk.ReadU32();
  info.PhysY = chunk.ReadU32();
  info.PhysUnit = chunk.ReadU8();
}

void HandleOFFS(ChunkCursor& chunk, PngPictureInfo& info) {
  if (chunk.Left() != kLengthOFFS) ReaderFail("PNG LoadStream: error oFFs");
  const std::int32_t x = std::int32_t(chunk.ReadU32());
  const std::int32_t y = std::int32_t(chunk.ReadU32());
  // Only offsets in pixels mean anything to the image.
  if (chunk.ReadU8() == kOffsetUnitPixel) {
    info.OffsetX = x;
    info.OffsetY = y;
  }
}

void HandleIEND(ChunkCursor& chunk, bool afterImageData) {
  if (chunk.Left() != 0) ReaderFail("PNG LoadStream: error IEND size");
  // A file without image data has no picture to show; loading it as an image without
  // pixels would report a failure as success.
  if (!afterImageData) ReaderFail("PNG LoadStream: no image data");
}
