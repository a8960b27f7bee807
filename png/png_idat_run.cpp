#include "png/png_idat_run.h"

#include <algorithm>

void IdatRun::Gather(ChunkCursor& chunk, std::size_t limit, std::size_t pieceSize) {
  std::int64_t left = chunk.StreamLeft();
  const std::size_t ceiling = std::size_t(std::min<std::int64_t>(std::int64_t(limit), left));
  // Untouched pages cost nothing: only what is read takes memory.
  bytes_.Resize(ceiling);
  for (;;) {
    while (chunk.Left() > 0) {
      const std::uint32_t n = std::uint32_t(std::min<std::size_t>(chunk.Left(), pieceSize));
      if (size_ + n > ceiling || n > left) return;
      Append(chunk, n);
      left -= n;
    }
    if (left < std::int64_t(ChunkCursor::kBoundaryBytes) || !chunk.ContinueRun()) return;
    left -= std::int64_t(ChunkCursor::kBoundaryBytes);
  }
}

void IdatRun::Append(ChunkCursor& chunk, std::uint32_t n) {
  chunk.Read(bytes_.data() + size_, n);
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
