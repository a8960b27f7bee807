#include "png/png_idat_run.h"

#include <algorithm>

#include "platform/byte_order.h"
#include "png/chunks.h"
#include "png/png_chunk_stream.h"

namespace {

// A chunk's CRC, then the next chunk's length and type.
constexpr std::int64_t kChunkBoundary = 12;

// Reads the next chunk's header when it continues the run and sets ChunkLeft from it;
// otherwise leaves the stream where it was.
bool NextIdatChunk(PngReadState& s) {
  std::uint8_t boundary[kChunkBoundary];
  s.Source->ReadBuffer(boundary, sizeof boundary);
  const std::uint32_t length = LoadBE32(boundary + 4);
  if (length > kMaxChunkLength || LoadBE32(boundary + 8) != kIDAT) {
    s.Source->Seek(-kChunkBoundary, TSeekOrigin::soCurrent);
    return false;
  }
  s.ChunkLeft = std::int32_t(length);
  return true;
}

}  // namespace

void IdatRun::Gather(PngReadState& s, std::size_t limit) {
  TStream& source = *s.Source;
  std::int64_t left = std::max<std::int64_t>(source.GetSize() - source.GetPosition(), 0);
  const std::size_t ceiling = std::size_t(std::min<std::int64_t>(std::int64_t(limit), left));
  // Untouched pages cost nothing: only what is read takes memory.
  bytes_.Resize(ceiling);
  for (;;) {
    while (s.ChunkLeft > 0) {
      const std::uint32_t n =
          std::uint32_t(std::min<std::size_t>(std::size_t(s.ChunkLeft), s.InBuf.size()));
      if (size_ + n > ceiling || n > left) return;
      Append(source, n);
      s.ChunkLeft -= std::int32_t(n);
      left -= n;
    }
    if (left < kChunkBoundary || !NextIdatChunk(s)) return;
    left -= kChunkBoundary;
  }
}

void IdatRun::Append(TStream& source, std::uint32_t n) {
  source.ReadBuffer(bytes_.data() + size_, n);
  size_ += n;
  pieces_.push_back(n);
}

bool IdatRun::NextPiece(z_stream& z) {
  if (piecesOut_ == pieces_.size()) return false;
  z.next_in = bytes_.data() + bytesOut_;
  z.avail_in = pieces_[piecesOut_];
  bytesOut_ += pieces_[piecesOut_++];
  return true;
}
