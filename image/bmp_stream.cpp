// BMP files through the framework's streams: the reader (with the leading-block fallback) and
// the writers of the whole image and of a rectangle.
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

#include "image/bmp_decode.h"
#include "image/bmp_limits.h"
#include "image/bmp_source.h"
#include "image/custom_dib.h"
#include "image/dib_error.h"
#include "image/dib_routines.h"
#include "platform/byte_order.h"
#include "platform/row_size.h"

namespace {

constexpr WORD kBmpSignature = 0x4D42;  // "BM"
constexpr std::uint64_t kBmpHeadersSize = kBmpFileHeaderSize + sizeof(BITMAPINFOHEADER);

bool HasSignature(const BYTE (&header)[kBmpFileHeaderSize]) {
  return header[0] == 'B' && header[1] == 'M';
}

DWORD OffBits(const BYTE (&header)[kBmpFileHeaderSize]) {
  return LoadLE32(header + 10);
}

// Little-endian fields into a byte buffer, one call per field.
class FieldWriter {
 public:
  void Word(WORD v) {
    bytes_.push_back(BYTE(v));
    bytes_.push_back(BYTE(v >> 8));
  }
  void Dword(DWORD v) {
    Word(WORD(v));
    Word(WORD(v >> 16));
  }
  void WriteTo(TStream& stream) const { stream.WriteBuffer(bytes_.data(), bytes_.size()); }

 private:
  std::vector<BYTE> bytes_;
};

void WriteFileHeader(TStream& stream, const char* method, std::uint64_t fileSize,
                     std::uint64_t offBits) {
  // The file header holds 32-bit sizes; a larger file cannot be described.
  if (fileSize > 0xFFFFFFFFu) RaiseDIBError(method, "Image Too Large");
  FieldWriter w;
  w.Word(kBmpSignature);     // bfType
  w.Dword(DWORD(fileSize));  // bfSize: the whole file
  w.Word(0);                 // bfReserved1
  w.Word(0);                 // bfReserved2
  w.Dword(DWORD(offBits));   // bfOffBits: headers and colour table come first
  w.WriteTo(stream);
}

}  // namespace

void TVynCustomDIB::LoadFromStream(TStream& stream) {
  BmpStreamSource source(stream);
  BYTE header[kBmpFileHeaderSize];
  source.Read(header, sizeof header);
  if (!HasSignature(header)) {
    // Past a leading block of another program's data, the file begins 256 bytes on.
    constexpr std::size_t kRest = kBmpLeadingBlockSize - kBmpFileHeaderSize;
    if (source.Remaining() < kRest + kBmpFileHeaderSize)
      RaiseDIBError("LoadFromStream", "not BMPFile");
    source.Skip(kRest);
    source.MarkStart();
    source.Read(header, sizeof header);
    if (!HasSignature(header)) RaiseDIBError("LoadFromStream", "not BMPFile");
  }
  // The image keeps its store until the new one is complete.
  RefPtr<TVynCustomInternalDIB> store = CreateInternalDIB();
  DecodeBmp(source, kStreamMessages, std::optional<std::uint64_t>(OffBits(header)), *store);
  ReplaceImage(std::move(store));
  Changed();
}

void TVynCustomDIB::SaveToStream(TStream& stream) {
  CheckImage("SaveToStream");
  const TVynDIBDesc& desc = FImage->Desc();
  const std::uint64_t tableSize = std::uint64_t(desc.PaletteCount) * sizeof(RGBQUAD);
  const std::uint64_t pixelSize = std::uint64_t(desc.LineSize) * std::uint64_t(desc.Height);
  WriteFileHeader(stream, "SaveToStream", kBmpHeadersSize + tableSize + pixelSize,
                  kBmpHeadersSize + tableSize);
  stream.WriteBuffer(desc.InfoHeader, sizeof(BITMAPINFOHEADER));
  stream.WriteBuffer(desc.Palette, std::size_t(tableSize));
  stream.WriteBuffer(desc.Bits, std::size_t(pixelSize));
}

void TVynCustomDIB::RectSaveToStream(TStream& stream, int left, int top, int width, int height) {
  CheckImage("RectSaveToStream");
  const TVynDIBDesc& desc = FImage->Desc();
  if (width == 0) width = desc.Width;
  if (height == 0) height = desc.Height;
  // Worked in 64 bits: left + width must not wrap around into a rectangle that seems to fit.
  if (left < 0 || top < 0 || width < 0 || height < 0 || std::int64_t(left) + width > desc.Width ||
      std::int64_t(top) + height > desc.Height)
    RaiseDIBError("RectSaveToStream", "error param");

  const std::size_t rowSize = RequireRowBytes(width, desc.BitCount, kDIBRowAlignment);
  const std::uint64_t tableSize = std::uint64_t(desc.PaletteCount) * sizeof(RGBQUAD);
  // bfSize states what is written: the rectangle's rows, not the whole image's.
  WriteFileHeader(stream, "RectSaveToStream",
                  kBmpHeadersSize + tableSize + std::uint64_t(rowSize) * std::uint64_t(height),
                  kBmpHeadersSize + tableSize);
  BITMAPINFOHEADER info = *desc.InfoHeader;
  info.biWidth = width;
  info.biHeight = height;
  stream.WriteBuffer(&info, sizeof info);
  stream.WriteBuffer(desc.Palette, std::size_t(tableSize));

  // The header is bottom-up, so the rectangle's bottom row goes first. Padding stays 0.
  std::vector<BYTE> row(rowSize);
  for (int y = top + height - 1; y >= top; --y) {
    ExtractRow(PictureRow(desc, y), desc.BitCount, left, width, row.data());
    stream.WriteBuffer(row.data(), row.size());
  }
}

void TVynCustomDIB::RectSaveToFile(const std::string& fileName, int left, int top, int width,
                                   int height) {
  // An existing file is overwritten from the start but not truncated.
  TFileStream stream(fileName, fmOpenWrite | fmShareExclusive);
  stream.SetPosition(0);
  RectSaveToStream(stream, left, top, width, height);
}
