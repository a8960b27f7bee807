#include "png/png_row_convert.h"

#include <cstring>

#include "png/png_row_gather.h"

namespace {

// --- Conversions: file row → store pixels ---------------------------------------------

const BYTE* ConvertNone(const BYTE* raw, BYTE*, std::uint32_t) {
  return raw;
}

// Four 2-bit values per byte become two 4-bit values per byte: the store has no 2-bit form.
const BYTE* Convert2To4(const BYTE* raw, BYTE* out, std::uint32_t pixels) {
  const std::uint32_t inBytes = (pixels + 3) / 4;
  const std::uint32_t outBytes = (pixels + 1) / 2;
  for (std::uint32_t i = 0, o = 0; i < inBytes; ++i) {
    const BYTE b = raw[i];
    out[o++] = BYTE(((b >> 6) & 3) << 4 | ((b >> 4) & 3));
    if (o < outBytes) out[o++] = BYTE(((b >> 2) & 3) << 4 | (b & 3));
  }
  return out;
}

// Sixteen-bit samples keep their high byte; there is no rounding.
const BYTE* ConvertGrey16(const BYTE* raw, BYTE* out, std::uint32_t pixels) {
  for (std::uint32_t i = 0; i < pixels; ++i) out[i] = raw[2 * i];
  return out;
}

template <int SampleBytes>
const BYTE* ConvertGreyAlpha(const BYTE* raw, BYTE* out, std::uint32_t pixels) {
  for (std::uint32_t i = 0; i < pixels; ++i, raw += 2 * SampleBytes, out += 4) {
    out[0] = out[1] = out[2] = raw[0];
    out[3] = raw[SampleBytes];
  }
  return out - std::size_t(4) * pixels;
}

template <int SampleBytes>
const BYTE* ConvertRGB(const BYTE* raw, BYTE* out, std::uint32_t pixels) {
  for (std::uint32_t i = 0; i < pixels; ++i, raw += 3 * SampleBytes, out += 3) {
    out[0] = raw[2 * SampleBytes];
    out[1] = raw[SampleBytes];
    out[2] = raw[0];
  }
  return out - std::size_t(3) * pixels;
}

// Eight-bit red, green, blue (, alpha) to the store's blue, green, red (, alpha) is the same
// byte swap the writer makes the other way, with the gathering kernels of one instruction set.
template <SimdLevel Level, int Bits>
const BYTE* ConvertBySwap(const BYTE* raw, BYTE* out, std::uint32_t pixels) {
  static const RowGather gather(Level);
  gather.Gather(raw, Bits, 0, 1, pixels, out);
  return out;
}

template <int Bits>
ConvertRowFn SwapConverter(SimdLevel level) {
  switch (level) {
    case SimdLevel::kAvx2:
      return ConvertBySwap<SimdLevel::kAvx2, Bits>;
    case SimdLevel::kSse41:
      return ConvertBySwap<SimdLevel::kSse41, Bits>;
    default:
      return ConvertBySwap<SimdLevel::kScalar, Bits>;
  }
}

template <int SampleBytes>
const BYTE* ConvertRGBA(const BYTE* raw, BYTE* out, std::uint32_t pixels) {
  for (std::uint32_t i = 0; i < pixels; ++i, raw += 4 * SampleBytes, out += 4) {
    out[0] = raw[2 * SampleBytes];
    out[1] = raw[SampleBytes];
    out[2] = raw[0];
    out[3] = raw[3 * SampleBytes];
  }
  return out - std::size_t(4) * pixels;
}

// --- Placement: converted pixels → store row ------------------------------------------

void PlaceWholeRow(const BYTE* src, BYTE* dst, std::uint32_t, std::uint32_t, std::uint32_t,
                   std::size_t lineSize) {
  if (src != dst) std::memcpy(dst, src, lineSize);  // converted rows are already in place
}

void Place1(const BYTE* src, BYTE* dst, std::uint32_t first, std::uint32_t step,
            std::uint32_t pixels, std::size_t) {
  for (std::uint32_t i = 0, x = first; i < pixels; ++i, x += step) {
    const bool on = (src[i >> 3] >> (7 - (i & 7))) & 1;
    const BYTE mask = BYTE(0x80 >> (x & 7));
    dst[x >> 3] = on ? BYTE(dst[x >> 3] | mask) : BYTE(dst[x >> 3] & ~mask);
  }
}

void Place4(const BYTE* src, BYTE* dst, std::uint32_t first, std::uint32_t step,
            std::uint32_t pixels, std::size_t) {
  for (std::uint32_t i = 0, x = first; i < pixels; ++i, x += step) {
    const BYTE v = (i & 1) ? BYTE(src[i >> 1] & 0x0F) : BYTE(src[i >> 1] >> 4);
    BYTE& d = dst[x >> 1];
    d = (x & 1) ? BYTE((d & 0xF0) | v) : BYTE((d & 0x0F) | (v << 4));
  }
}

template <int Bytes>
void PlaceBytes(const BYTE* src, BYTE* dst, std::uint32_t first, std::uint32_t step,
                std::uint32_t pixels, std::size_t) {
  for (std::uint32_t i = 0, x = first; i < pixels; ++i, x += step)
    std::memcpy(dst + std::size_t(x) * Bytes, src + std::size_t(i) * Bytes, Bytes);
}

PlaceRowFn InterlacedPlacer(std::uint32_t storeBits) {
  switch (storeBits) {
    case 1:
      return Place1;
    case 4:
      return Place4;
    case 8:
      return PlaceBytes<1>;
    case 24:
      return PlaceBytes<3>;
    default:
      return PlaceBytes<4>;
  }
}

struct FormatEntry {
  std::uint32_t pixelBits, imageBits, storeBits;
  ConvertRowFn convert;
  bool bytesKept = false;  // store pixels are the file's bytes, at most reordered per pixel
};

bool LookUp(std::uint32_t kind, bool alpha, std::uint32_t depth, SimdLevel level, FormatEntry& e) {
  if (kind == 0 || kind == 3) {
    if (alpha) {
      if (kind != 0) return false;
      if (depth == 8) return e = {16, 24, 32, ConvertGreyAlpha<1>}, true;
      if (depth == 16) return e = {32, 24, 32, ConvertGreyAlpha<2>}, true;
      return false;
    }
    switch (depth) {
      case 1:
      case 4:
      case 8:
        return e = {depth, depth, depth, ConvertNone, true}, true;
      case 2:
        return e = {2, 4, 4, Convert2To4}, true;
      case 16:
        if (kind != 0) return false;
        return e = {16, 8, 8, ConvertGrey16}, true;
      default:
        return false;
    }
  }
  if (kind != 2) return false;
  if (depth == 8)
    return e = alpha ? FormatEntry{32, 24, 32, SwapConverter<32>(level), true}
                     : FormatEntry{24, 24, 24, SwapConverter<24>(level), true},
           true;
  if (depth == 16)
    return e = alpha ? FormatEntry{64, 24, 32, ConvertRGBA<2>}
                     : FormatEntry{48, 24, 24, ConvertRGB<2>},
           true;
  return false;
}

}  // namespace

bool ChooseRowFormat(std::uint32_t colorKind, bool hasAlpha, std::uint32_t bitDepth,
                     bool interlaced, SimdLevel level, RowFormat& format) {
  FormatEntry e{};
  if (!LookUp(colorKind, hasAlpha, bitDepth, level, e)) return false;
  format.PixelBits = e.pixelBits;
  format.ImageBits = e.imageBits;
  format.StoreBits = e.storeBits;
  format.ConvertRow = e.convert;
  format.PlaceRow = interlaced ? InterlacedPlacer(e.storeBits) : PlaceWholeRow;
  format.BytesInPlace = e.pixelBits == e.storeBits && e.bytesKept;
  return true;
}
