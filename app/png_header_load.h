// A PNG read without its pixels. The reader itself gives every fact of the file's chunks (bit
// count, palette, colour keys, alpha, resolution, gamma, offset), from a stand-in made of the
// file's own chunks in which the picture is 1 × 1: each run of image data becomes that of one
// pixel. The size the header states is checked first, by the reader, on the file up to its
// header; it is never allocated.
#pragma once

#include <string_view>

#include "app/png_chunk_walk.h"

class TUxPNG;

struct PngStatedSize {
  int width = 0;
  int height = 0;
};

// Loads into image what the reader makes of bytes (walked as walk) with a 1 × 1 picture, and
// returns the size the header states. Raises what the reader raises, pixel data aside.
PngStatedSize LoadPngWithoutPixels(std::string_view bytes, const PngChunkWalk& walk, TUxPNG& image);
