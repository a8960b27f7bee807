#include "app/png_header_load.h"

#include <zlib.h>

#include <algorithm>
#include <string>

#include "platform/byte_order.h"
#include "platform/stream.h"
#include "png/chunks.h"
#include "png/ux_png.h"

namespace {

void PutBigEndian32(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += char(value >> shift);
}

// A chunk as the reader reads it; the CRC is not checked, so it is left 0.
std::string Chunk(std::uint32_t type, const std::string& data) {
  std::string chunk;
  PutBigEndian32(chunk, std::uint32_t(data.size()));
  PutBigEndian32(chunk, type);
  return chunk + data + std::string(4, '\0');
}

const PngChunkSpan* FirstIhdr(const PngChunkWalk& walk) {
  const auto found = std::find_if(walk.chunks.begin(), walk.chunks.end(),
                                  [](const PngChunkSpan& c) { return c.type == kIHDR; });
  return found == walk.chunks.end() ? nullptr : &*found;
}

bool Whole(const PngChunkSpan& chunk, std::string_view bytes) {
  return chunk.end <= bytes.size();
}

// The header with width and height 1, the rest as the file has it.
std::string OnePixelHeader(std::string_view ihdr) {
  std::string data;
  PutBigEndian32(data, 1);
  PutBigEndian32(data, 1);
  data.append(ihdr.substr(8, kIHDRLength - 8));
  return Chunk(kIHDR, data);
}

// One row of one pixel, all zero, behind its filter byte. Adam7 puts a lone pixel in its first
// pass, so the data is the same interlaced or not.
std::string OnePixelImageData(std::string_view ihdr) {
  static constexpr int kChannels[8] = {1, 1, 3, 1, 2, 1, 4, 1};  // by colour type
  const int depth = std::uint8_t(ihdr[8]);
  const int channels = kChannels[std::uint8_t(ihdr[9]) & 7];
  const std::string row(1 + std::size_t(channels * depth + 7) / 8, '\0');
  uLongf size = compressBound(uLong(row.size()));
  std::string compressed(size, '\0');
  compress(reinterpret_cast<Bytef*>(compressed.data()), &size,
           reinterpret_cast<const Bytef*>(row.data()), uLong(row.size()));
  compressed.resize(size);
  return Chunk(kIDAT, compressed);
}

// The file with each whole IHDR made 1 × 1 and each run of IDAT chunks one IDAT of one pixel.
std::string StandIn(std::string_view bytes, const PngChunkWalk& walk, std::string_view ihdr) {
  std::string stand(bytes.substr(0, walk.start));
  bool inImageData = false;
  for (const PngChunkSpan& chunk : walk.chunks) {
    const std::string_view whole = bytes.substr(chunk.offset, chunk.end - chunk.offset);
    if (chunk.type == kIDAT && !inImageData && !ihdr.empty()) stand += OnePixelImageData(ihdr);
    const bool isImageData = chunk.type == kIDAT && !ihdr.empty();
    inImageData = isImageData;
    if (isImageData) continue;
    stand += chunk.type == kIHDR && Whole(chunk, bytes) ? OnePixelHeader(whole.substr(8))
                                                        : std::string(whole);
  }
  return stand;
}

void Load(TUxPNG& image, std::string bytes) {
  TMemoryStream stream(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  image.LoadFromStream(stream);
}

}  // namespace

PngStatedSize LoadPngWithoutPixels(std::string_view bytes, const PngChunkWalk& walk,
                                   TUxPNG& image) {
  const PngChunkSpan* ihdr = FirstIhdr(walk);
  std::string_view header;
  PngStatedSize size;
  if (ihdr != nullptr && Whole(*ihdr, bytes)) {
    header = bytes.substr(ihdr->DataOffset(), kIHDRLength);
    const auto* fields = reinterpret_cast<const std::uint8_t*>(header.data());
    size = {int(LoadBE32(fields)), int(LoadBE32(fields + 4))};
    // The file up to its header: the reader checks the stated size, then runs out of bytes.
    try {
      Load(image, std::string(bytes.substr(0, ihdr->end)));
    } catch (const EReadError&) {
    }
  }
  Load(image, StandIn(bytes, walk, header));
  return size;
}
