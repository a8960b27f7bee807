// The compressed image data read ahead of inflating: the data of a run of IDAT chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <zlib.h>

#include "platform/fresh_pages.h"
#include "png/png_chunk_cursor.h"

// The data of the IDAT chunks that follow one another from the image data's first chunk on,
// gathered in the pieces the streaming path reads: at most pieceSize bytes at a time, never
// across a chunk's end. zlib's output does not depend on how its input is sliced, but what it
// reads after the output is full does: with input to spare it decodes on into the next block's
// header, and may find it broken. Handed the same pieces, streaming behaves exactly as if it
// had read them itself.
class IdatRun {
 public:
  // Reads on from the cursor's chunk (an IDAT chunk, partly read) through the IDAT chunks after
  // it, until `limit` bytes are gathered, a chunk of another type follows, or the stream holds
  // too little for the next piece or header. Nothing it meets raises: it stops where streaming
  // carries on, with the stream and the cursor as streaming would have left them after reading
  // the same pieces. Memory grows with what is read, never beyond what the stream still holds,
  // whatever the chunk lengths claim.
  void Gather(ChunkCursor& chunk, std::size_t limit, std::size_t pieceSize);

  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t size() const { return size_; }

  // Hands the inflater the next gathered piece; false once all have been handed out.
  bool NextPiece(z_stream& z);

 private:
  void Append(ChunkCursor& chunk, std::uint32_t n);

  ScratchBytes bytes_;
  std::size_t size_ = 0;
  std::vector<std::uint32_t> pieces_;
  std::size_t piecesOut_ = 0, bytesOut_ = 0;
};
