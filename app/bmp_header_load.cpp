#include "app/bmp_header_load.h"

#include <optional>

#include "app/bmp_layout.h"
#include "image/bmp_decode.h"
#include "image/bmp_limits.h"
#include "image/custom_dib.h"
#include "platform/byte_order.h"

namespace {

std::uint64_t PixelOffset(const BYTE (&header)[kBmpFileHeaderSize]) {
  return LoadLE32(header + 10);
}

bool IsRunLength(DWORD compression) {
  return compression == BI_RLE8 || compression == BI_RLE4;
}

}  // namespace

BmpStatedSize LoadBmpWithoutPixels(TMemoryStream& stream, TVynCustomDIB& image) {
  const std::string_view bytes(reinterpret_cast<const char*>(stream.Bytes().data()),
                               stream.Bytes().size());
  stream.SetPosition(std::int64_t(BmpStart(bytes)));
  BmpStreamSource source(stream);
  BYTE header[kBmpFileHeaderSize];
  source.Read(header, sizeof header);
  BmpInfo info = ReadBmpInfo(source, kStreamMessages, PixelOffset(header));
  const BmpStatedSize size{info.width, info.height,
                           info.bitCount == 32 && info.compression == BI_RGB};

  // One pixel: a row of zeros (a 32-bit row is the widest), or the run-length end of the data.
  static constexpr BYTE kZeroRow[4] = {};
  static constexpr BYTE kEndOfBitmap[2] = {0, 1};
  const bool runLength = IsRunLength(info.compression);
  BmpMemorySource pixel(runLength ? kEndOfBitmap : kZeroRow,
                        runLength ? sizeof kEndOfBitmap : sizeof kZeroRow, "LoadFromStream");
  info.width = info.height = 1;
  DecodeBmpPixels(pixel, info, std::nullopt, *image.Image());
  return size;
}
