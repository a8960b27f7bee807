// The image data: every IDAT chunk of a load goes through here.
#pragma once

#include "png/inflate_stream.h"
#include "png/png_chunk_cursor.h"
#include "png/png_read_state.h"

// Where a load stands with its image data.
enum class ImageDataPhase {
  kNotYet,  // no IDAT chunk yet
  kTail,    // read: IDAT chunks still to come in its run carry only the stream's tail
  kDone,    // read, and another chunk has come since: a further IDAT starts a second run
};

// From the first IDAT chunk on, reads the whole picture into a new store that state.Desc
// describes, running on through the IDAT chunks that follow. The tail's chunks are skipped; a
// second run fails.
void HandleIDAT(PngReadState& state, ChunkCursor& chunk, InflateStream& inflater,
                ImageDataPhase phase);
