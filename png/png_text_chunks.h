// The handlers of tEXt and zTXt, which gather every text chunk into one text under a limit.
// The chunk loop has checked where each chunk stands; a handler checks the chunk's data and
// reads all of it.
#pragma once

#include <cstddef>

#include "png/inflate_stream.h"
#include "png/png_chunk_cursor.h"
#include "png/png_read_state.h"

void HandleTEXT(ChunkCursor& chunk, std::size_t limit, PngText& text);
// The inflater is reset afterwards, however the chunk ends, ready for the image data.
void HandleZTXT(ChunkCursor& chunk, InflateStream& inflater, std::size_t limit, PngText& text);
