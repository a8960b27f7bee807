#include "png/idat_deflater.h"

#include <cstdlib>
#include <limits>

#include "platform/exception.h"
#include "png/chunks.h"
#include "png/png_exceptions.h"

namespace {

voidpf ZAlloc(voidpf, uInt items, uInt size) {
  if (size != 0 && items > std::numeric_limits<std::size_t>::max() / size) return Z_NULL;
  return std::malloc(std::size_t(items) * size);
}

void ZFree(voidpf, voidpf address) {
  std::free(address);
}

[[noreturn]] void RaiseZlibError() {
  throw EQorPNG("PNG SaveStream: error ZLIB");
}

constexpr std::size_t kMaxDeflateInput = std::numeric_limits<uInt>::max();

}  // namespace

int ZlibLevelFor(int compressionSetting) {
  switch (compressionSetting) {
    case 1:
      return 1;
    case 2:
      return 9;
    default:
      return Z_DEFAULT_COMPRESSION;
  }
}

IdatDeflater::IdatDeflater(PngChunkWriter& chunks, int level)
    : chunks_(chunks), out_(new std::uint8_t[kIdatPieceSize]) {
  zs_.zalloc = ZAlloc;
  zs_.zfree = ZFree;
  zs_.opaque = Z_NULL;
  const int result = deflateInit(&zs_, level);
  if (result == Z_MEM_ERROR) OutOfMemoryError();
  if (result != Z_OK) RaiseZlibError();
  live_ = true;
}

IdatDeflater::~IdatDeflater() {
  if (live_) deflateEnd(&zs_);
}

int IdatDeflater::Deflate(int flush) {
  zs_.next_out = out_.get() + used_;
  zs_.avail_out = uInt(kIdatPieceSize - used_);
  const int result = deflate(&zs_, flush);
  if (result < 0) RaiseZlibError();
  used_ = kIdatPieceSize - zs_.avail_out;
  return result;
}

void IdatDeflater::EmitBuffer() {
  chunks_.WriteChunk(kIDAT, out_.get(), used_);
  used_ = 0;
}

void IdatDeflater::Write(const std::uint8_t* data, std::size_t length) {
  while (length > 0) {
    const std::size_t piece = length < kMaxDeflateInput ? length : kMaxDeflateInput;
    zs_.next_in = const_cast<Bytef*>(data);
    zs_.avail_in = uInt(piece);
    while (zs_.avail_in > 0) {
      Deflate(Z_NO_FLUSH);
      if (used_ == kIdatPieceSize) EmitBuffer();
    }
    data += piece;
    length -= piece;
  }
}

void IdatDeflater::Finish() {
  zs_.next_in = Z_NULL;
  zs_.avail_in = 0;
  while (Deflate(Z_FINISH) != Z_STREAM_END) {
    if (used_ == kIdatPieceSize) EmitBuffer();
  }
  // The stream always ends with its checksum, so the last piece is never empty.
  if (used_ > 0) EmitBuffer();
  deflateReset(&zs_);
}
