// The PNG reader: turns a PNG byte stream into a filled pixel store.
#pragma once

#include "png/png_read_state.h"

// Runs one load. On return Desc describes the new image (to be attached to Target by the
// caller). Raises EVynPNG (or the plain Exception "not next IDAT Chunk", or the platform's
// read / out-of-memory errors) on failure; Desc may then own storage the caller frees.
void PngLoadStream(PngReadState& state);
