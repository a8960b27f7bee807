// PNG format constants: the signature, chunk types as four-character codes, colour types and
// the limits the writer and the reader share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// A chunk type as the big-endian 32-bit value of its four ASCII bytes, so types compare and
// switch as integers.
constexpr std::uint32_t fourcc(const char (&name)[5]) {
  return std::uint32_t(std::uint8_t(name[0])) << 24 | std::uint32_t(std::uint8_t(name[1])) << 16 |
         std::uint32_t(std::uint8_t(name[2])) << 8 | std::uint32_t(std::uint8_t(name[3]));
}

constexpr std::uint32_t kIHDR = fourcc("IHDR");
constexpr std::uint32_t kPLTE = fourcc("PLTE");
constexpr std::uint32_t kIDAT = fourcc("IDAT");
constexpr std::uint32_t kIEND = fourcc("IEND");
constexpr std::uint32_t ktEXt = fourcc("tEXt");
constexpr std::uint32_t kzTXt = fourcc("zTXt");
constexpr std::uint32_t kgAMA = fourcc("gAMA");
constexpr std::uint32_t koFFs = fourcc("oFFs");
constexpr std::uint32_t kbKGD = fourcc("bKGD");
constexpr std::uint32_t ktRNS = fourcc("tRNS");
constexpr std::uint32_t kpHYs = fourcc("pHYs");
// Our own chunk: ancillary (lowercase first letter), private, safe to copy.
constexpr std::uint32_t kuxPg = fourcc("uxPg");

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// A PNG stream may also sit behind a leading block of exactly this many bytes.
constexpr std::size_t kPngLeadingBlockSize = 256;

// IHDR colour types.
constexpr std::uint8_t kColorTypeGray = 0;
constexpr std::uint8_t kColorTypeRGB = 2;
constexpr std::uint8_t kColorTypePalette = 3;
constexpr std::uint8_t kColorTypeGrayAlpha = 4;
constexpr std::uint8_t kColorTypeRGBA = 6;

constexpr std::size_t kIHDRLength = 13;
// The uxPg chunk: our identification text, zero-padded to a fixed length.
constexpr std::size_t kuxPgLength = 64;
constexpr std::size_t kuxPgTextLimit = 40;
constexpr char kuxPgText[] = "Nimbrel PNG codec";
static_assert(sizeof(kuxPgText) - 1 <= kuxPgTextLimit);

// Every IDAT but the last carries exactly this many bytes of the zlib stream.
constexpr std::size_t kIdatPieceSize = 32768;
// A tEXt keyword holds 1 to 79 bytes.
constexpr std::size_t kMaxKeywordLength = 79;
constexpr std::size_t kMaxPaletteLength = 256;
// pHYs unit byte: 0 aspect ratio only, 1 metre.
constexpr std::uint8_t kPhysUnitUnknown = 0;
constexpr std::uint8_t kPhysUnitMetre = 1;
