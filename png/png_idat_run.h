// The compressed image data read ahead of inflating: the data of a run of IDAT chunks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <zlib.h>

#include "png/png_read_state.h"

// The data of the IDAT chunks that follow one another from the image data's first chunk on,
// gathered in the pieces the streaming path reads: one input block at a time, never across a
// chunk's end. Handing streaming the same pieces makes it behave exactly as if it had read
// them itself.
class IdatRun {
 public:
  // Reads on from the first chunk (state.ChunkLeft bytes of it unread) through the IDAT chunks
  // after it, until `limit` bytes are gathered, a chunk of another type follows, or the stream
  // holds too little for the next piece or header. Nothing it meets raises: it stops where
  // streaming carries on, with the stream and state.ChunkLeft as streaming would have left them
  // after reading the same pieces. Memory grows with what is read, never beyond what the stream
  // still holds, whatever the chunk lengths claim.
  void Gather(PngReadState& state, std::size_t limit);

  std::uint8_t* data() { return bytes_.data(); }
  std::size_t size() const { return size_; }

  // Hands the inflater the next gathered piece; false once all have been handed out.
  bool NextPiece(z_stream& z);

 private:
  void Append(TStream& source, std::uint32_t n);

  ScratchBytes bytes_;
  std::size_t size_ = 0;
  std::vector<std::uint32_t> pieces_;
  std::size_t piecesOut_ = 0, bytesOut_ = 0;
};
