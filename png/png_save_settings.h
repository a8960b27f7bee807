// How the PNG writer filters, interlaces and compresses.
#pragma once

// All zero means adaptive filtering, no interlacing and zlib's default level.
struct SaveSettings {
  int Filter = 0;       // 1 None, 2 Sub, 3 Up, 4 Average, 5 Paeth, anything else adaptive
  int Interlace = 0;    // 1 Adam7
  int Compression = 0;  // 1 level 1, 2 level 9, anything else the default level
};
