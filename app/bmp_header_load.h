// A BMP read without its pixels: the reader's own header, mask and colour-table reading, then
// its pixel step on a single pixel, so the image holds the bit count, palette and resolution a
// whole load would give. The size the headers state is checked by the reader and never
// allocated.
#pragma once

class TMemoryStream;
class TVynCustomDIB;

struct BmpStatedSize {
  int width = 0;
  int height = 0;
  // A 32-bit file without bit fields has alpha only if some pixel's fourth byte is not 0.
  bool alphaFromPixels = false;
};

// Reads the headers of the BMP in stream, which begins with "BM" there or after a leading
// block, into image as a 1 × 1 picture. Raises what the reader raises for the headers.
BmpStatedSize LoadBmpWithoutPixels(TMemoryStream& stream, TVynCustomDIB& image);
