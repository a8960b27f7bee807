#include "image/bmp_decode.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

#include "image/bmp_limits.h"
#include "image/bmp_masks.h"
#include "image/bmp_rle.h"
#include "image/dib_error.h"
#include "platform/byte_order.h"
#include "platform/halftone_palette.h"
#include "platform/row_size.h"

const BmpMessages kStreamMessages{"LoadFromStream", "LoadFromStream", "LoadFromStream"};
const BmpMessages kClipboardMessages{"LoadFromClipboardFormat", "LoadFromClipboardFormat",
                                     "LoadFromClipBoardFormat"};

namespace {

constexpr std::array<DWORD, 3> kDefault16BitMasks{0x7C00, 0x03E0, 0x001F};
constexpr std::array<DWORD, 3> kPlain32BitMasks{0x00FF0000, 0x0000FF00, 0x000000FF};
constexpr DWORD kPlainAlphaMask = 0xFF000000;

bool IsBitFields(DWORD compression) {
  return compression == BI_BITFIELDS || compression == BI_ALPHABITFIELDS;
}

// Bytes per row of the data as stored in the file. The pixel limit keeps it far below the
// row limit.
std::uint64_t SourceStride(const BmpInfo& info) {
  return RequireRowBytes(info.width, info.bitCount, kDIBRowAlignment);
}

// The bit count of the image the data becomes: masked data is widened to 24 bits, and 2-bit
// pixels (which the image model does not keep) to 4 bits.
int TargetBitCount(const BmpInfo& info) {
  if (info.masked) return 24;
  if (info.bitCount == 2) return 4;
  return info.bitCount;
}

void ReadCoreHeader(BmpSource& source, BmpInfo& info) {
  BYTE raw[kBmpCoreHeaderSize - 4];
  source.Read(raw, sizeof raw);
  info.core = true;
  info.width = LoadLE16(raw + 0);
  info.height = LoadLE16(raw + 2);
  info.bitCount = LoadLE16(raw + 6);  // after the planes, which are ignored
}

// Reads a header of 16 bytes or more into raw (zero-filled past what the header holds).
void ReadInfoHeader(BmpSource& source, const BmpMessages& messages, BmpInfo& info,
                    BYTE (&raw)[kBmpParsedHeaderSize]) {
  if (info.headerSize < kBmpMinInfoHeaderSize || info.headerSize > kBmpMaxInfoHeaderSize)
    RaiseDIBError(messages.method, "Invalid Header Size");
  std::memset(raw, 0, sizeof raw);
  const std::uint32_t parsed = std::min(info.headerSize, kBmpParsedHeaderSize);
  source.Read(raw + 4, parsed - 4);
  source.Skip(info.headerSize - parsed);

  const LONG width = LONG(LoadLE32(raw + 4));
  const LONG height = LONG(LoadLE32(raw + 8));
  info.bitCount = LoadLE16(raw + 14);
  info.compression = LoadLE32(raw + 16);
  // A height of INT_MIN has no positive counterpart; it is as invalid as 0.
  info.width = width < 0 ? 0 : width;
  info.topDown = height < 0;
  info.height = height == INT_MIN ? 0 : (height < 0 ? -height : height);

  const LONG xPels = LONG(LoadLE32(raw + 24));
  const LONG yPels = LONG(LoadLE32(raw + 28));
  if (xPels != 0 && yPels != 0) {
    info.unitSpecifier = 1;
    info.xPelsPerMeter = xPels;
    info.yPelsPerMeter = yPels;
  }
  info.colors = LoadLE32(raw + 32);
}

void CheckImageFormat(const BmpInfo& info, const BmpMessages& messages) {
  if (info.width <= 0 || info.height <= 0 || info.bitCount == 0)
    RaiseDIBError(messages.sizeMethod, "Invalid Width or Height");
  switch (info.bitCount) {
    case 1:
    case 2:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      break;
    default:
      RaiseDIBError(messages.method, "not support BitCount");
  }
  bool supported = false;
  switch (info.compression) {
    case BI_RGB:
      supported = true;
      break;
    case BI_RLE8:
      supported = info.bitCount == 8;
      break;
    case BI_RLE4:
      supported = info.bitCount == 4;
      break;
    case BI_BITFIELDS:
    case BI_ALPHABITFIELDS:
      supported = info.bitCount == 16 || info.bitCount == 32;
      break;
    default:
      break;
  }
  if (!supported) RaiseDIBError(messages.method, "not support Compression");
  if (std::uint64_t(info.width) * std::uint64_t(info.height) > kMaxDIBPixels)
    RaiseDIBError(messages.method, "Image Too Large");
}

// Bit masks: inside a header long enough to hold them, else right after it.
void ReadMasks(BmpSource& source, const BmpMessages& messages, BmpInfo& info,
               const BYTE (&raw)[kBmpParsedHeaderSize]) {
  if (IsBitFields(info.compression)) {
    if (info.headerSize >= kBmpHeaderWithMasks) {
      for (int i = 0; i < 3; ++i) info.masks[i] = LoadLE32(raw + 40 + 4 * i);
      if (info.headerSize >= kBmpHeaderWithAlphaMask) {
        info.masks[3] = LoadLE32(raw + 52);
        info.alphaMaskStated = true;
      }
    } else {
      const int count = info.compression == BI_ALPHABITFIELDS ? 4 : 3;
      BYTE bytes[16];
      source.Read(bytes, std::size_t(count) * 4);
      for (int i = 0; i < count; ++i) info.masks[i] = LoadLE32(bytes + 4 * i);
      info.alphaMaskStated = count == 4;
    }
    const bool plain = info.bitCount == 32 && info.masks[0] == kPlain32BitMasks[0] &&
                       info.masks[1] == kPlain32BitMasks[1] && info.masks[2] == kPlain32BitMasks[2];
    info.masked = !plain;
  } else if (info.bitCount == 16) {
    std::copy(kDefault16BitMasks.begin(), kDefault16BitMasks.end(), info.masks.begin());
    info.masked = true;
  }
  if (info.masked && (info.masks[0] == 0 || info.masks[1] == 0 || info.masks[2] == 0))
    RaiseDIBError(messages.masksMethod, "Invalid Masks");
}

void ReadColorTable(BmpSource& source, const BmpMessages& messages, BmpInfo& info,
                    std::optional<std::uint64_t> pixelOffset) {
  const std::uint32_t entrySize = info.core ? 3 : 4;
  if (info.colors == 0 && info.bitCount <= 8) info.colors = 1u << info.bitCount;
  if (info.colors > kBmpMaxColorTableEntries) RaiseDIBError(messages.method, "Invalid Color Table");
  // A core-header file may hold fewer than 2^bits entries; its pixel offset then says where
  // the table ends. Reading all 2^bits entries would swallow the first pixels.
  if (info.core && pixelOffset && info.colors != 0) {
    const std::uint64_t here = source.Position();
    if (*pixelOffset >= here && *pixelOffset - here < std::uint64_t(info.colors) * entrySize)
      info.colors = std::uint32_t((*pixelOffset - here) / entrySize);
  }

  if (info.colors == 0) {
    // No table: the image receives the library's halftone palette.
    info.table = HalftonePalette();
    info.paletteCount = kMaxPaletteEntries;
    return;
  }
  const std::uint32_t used = std::min<std::uint32_t>(info.colors, kMaxPaletteEntries);
  BYTE bytes[kMaxPaletteEntries * 4];
  source.Read(bytes, std::size_t(used) * entrySize);
  for (std::uint32_t i = 0; i < used; ++i) {
    const BYTE* entry = bytes + i * entrySize;
    info.table[i] = RGBQUAD{entry[0], entry[1], entry[2], 0};
  }
  source.Skip(std::uint64_t(info.colors - used) * entrySize);
  info.paletteCount = int(used);
}

// Moves to the pixel data a file places after a gap. An offset that points backwards, past
// the end, or so far on that the rows no longer fit is not trusted: the data then follows on
// directly, as it does in every file without a gap.
void SkipToPixels(BmpSource& source, const BmpInfo& info,
                  std::optional<std::uint64_t> pixelOffset) {
  if (!pixelOffset) return;
  const std::uint64_t here = source.Position();
  if (*pixelOffset <= here) return;
  const std::uint64_t gap = *pixelOffset - here;
  const std::uint64_t remaining = source.Remaining();
  if (gap > remaining) return;
  const bool rle = info.compression == BI_RLE8 || info.compression == BI_RLE4;
  if (!rle && remaining - gap < SourceStride(info) * std::uint64_t(info.height)) return;
  source.Skip(gap);
}

BYTE* StoredRow(const TVynDIBDesc& desc, int i) {
  return desc.Bits + std::size_t(i) * std::size_t(desc.LineSize);
}

// File row i (the order rows come in) as a row of the pixel memory.
BYTE* DestRow(const TVynDIBDesc& desc, const BmpInfo& info, int i) {
  return info.topDown ? PictureRow(desc, i) : StoredRow(desc, i);
}

void ReadPlainRows(BmpSource& source, const BmpInfo& info, const TVynDIBDesc& desc) {
  const std::size_t line = std::size_t(desc.LineSize);
  if (info.topDown) {
    for (int i = 0; i < info.height; ++i) source.Read(DestRow(desc, info, i), line);
    return;
  }
  const int rowsPerRead = int(std::max<std::size_t>(1, kBmpReadChunkBytes / line));
  for (int i = 0; i < info.height; i += rowsPerRead) {
    const int rows = std::min(rowsPerRead, info.height - i);
    source.Read(StoredRow(desc, i), line * std::size_t(rows));
  }
}

void ReadMaskedRows(BmpSource& source, const BmpInfo& info, const TVynDIBDesc& desc) {
  const bmp_detail::MaskChannel channels[3] = {bmp_detail::MakeMaskChannel(info.masks[0]),
                                               bmp_detail::MakeMaskChannel(info.masks[1]),
                                               bmp_detail::MakeMaskChannel(info.masks[2])};
  std::vector<BYTE> row(SourceStride(info));
  for (int i = 0; i < info.height; ++i) {
    source.Read(row.data(), row.size());
    bmp_detail::DecodeMaskedRow(row.data(), info.width, info.bitCount, channels,
                                DestRow(desc, info, i));
  }
}

// 2-bit pixels become the low half of 4-bit ones; the colour table is the same.
void Read2BitRows(BmpSource& source, const BmpInfo& info, const TVynDIBDesc& desc) {
  std::vector<BYTE> row(SourceStride(info));
  for (int i = 0; i < info.height; ++i) {
    source.Read(row.data(), row.size());
    BYTE* dest = DestRow(desc, info, i);
    for (int x = 0; x < info.width; ++x) {
      const BYTE value = (row[std::size_t(x) / 4] >> (6 - 2 * (x % 4))) & 3;
      dest[x / 2] |= BYTE(x % 2 == 0 ? value << 4 : value);
    }
  }
}

bool AnyAlphaByte(const TVynDIBDesc& desc) {
  for (int y = 0; y < desc.Height; ++y) {
    const BYTE* row = StoredRow(desc, y);
    for (int x = 0; x < desc.Width; ++x)
      if (row[std::size_t(x) * 4 + 3] != 0) return true;
  }
  return false;
}

// Whether the fourth byte of a 32-bit image read as it is holds alpha. Bit fields say so
// themselves: without an alpha mask of 0xFF000000 the byte is unused. Plain data has carried
// alpha there by convention, but a fourth byte that is 0 throughout is padding, not a picture
// that is transparent everywhere.
bool HasPixelAlpha(const BmpInfo& info, const TVynDIBDesc& desc) {
  if (IsBitFields(info.compression))
    return info.alphaMaskStated && info.masks[3] == kPlainAlphaMask;
  return AnyAlphaByte(desc);
}

// A fourth byte that is not alpha becomes 255. Every writer copies it as it is (PNG writes a
// 32-bit image with its alpha), so a picture read as having no alpha must also look opaque.
void MakeOpaque(const TVynDIBDesc& desc) {
  for (int y = 0; y < desc.Height; ++y) {
    BYTE* row = StoredRow(desc, y);
    for (int x = 0; x < desc.Width; ++x) row[std::size_t(x) * 4 + 3] = 255;
  }
}

}  // namespace

BmpInfo ReadBmpInfo(BmpSource& source, const BmpMessages& messages,
                    std::optional<std::uint64_t> pixelOffset) {
  BmpInfo info;
  BYTE sizeBytes[4];
  source.Read(sizeBytes, sizeof sizeBytes);
  info.headerSize = LoadLE32(sizeBytes);
  BYTE raw[kBmpParsedHeaderSize] = {};
  if (info.headerSize == kBmpCoreHeaderSize)
    ReadCoreHeader(source, info);
  else
    ReadInfoHeader(source, messages, info, raw);
  CheckImageFormat(info, messages);
  ReadMasks(source, messages, info, raw);
  ReadColorTable(source, messages, info, pixelOffset);
  return info;
}

void DecodeBmpPixels(BmpSource& source, const BmpInfo& info,
                     std::optional<std::uint64_t> pixelOffset, TVynCustomInternalDIB& store) {
  SkipToPixels(source, info, pixelOffset);
  const bool rle = info.compression == BI_RLE8 || info.compression == BI_RLE4;
  // Refuse rows the data cannot hold before the pixel memory is made.
  if (!rle && SourceStride(info) * std::uint64_t(info.height) > source.Remaining())
    source.ShortData();

  store.CreateImage(info.width, info.height, false, info.table.data(), info.paletteCount,
                    TargetBitCount(info));
  TVynDIBDesc& desc = store.Desc();
  desc.UnitSpecifier = info.unitSpecifier;
  desc.WidthSpecific = info.xPelsPerMeter;
  desc.HeightSpecific = info.yPelsPerMeter;
  desc.InfoHeader->biXPelsPerMeter = info.xPelsPerMeter;
  desc.InfoHeader->biYPelsPerMeter = info.yPelsPerMeter;

  if (info.masked) {
    ReadMaskedRows(source, info, desc);
  } else if (info.bitCount == 2) {
    Read2BitRows(source, info, desc);
  } else if (rle) {
    if (info.compression == BI_RLE8)
      bmp_detail::DecodeRle8(source, desc, info.topDown);
    else
      bmp_detail::DecodeRle4(source, desc, info.topDown);
  } else {
    ReadPlainRows(source, info, desc);
  }
  if (desc.BitCount != 32) return;
  if (HasPixelAlpha(info, desc))
    store.SetAlphaMode(kAlphaModePixel);
  else
    MakeOpaque(desc);
}

void DecodeBmp(BmpSource& source, const BmpMessages& messages,
               std::optional<std::uint64_t> pixelOffset, TVynCustomInternalDIB& store) {
  const BmpInfo info = ReadBmpInfo(source, messages, pixelOffset);
  DecodeBmpPixels(source, info, pixelOffset, store);
}
