// What info reports about a picture file, gathered once and printed as text or as JSON.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/win_types.h"

class ImageInput;

struct ColourKeyFact {
  COLORREF colour = 0;
  int index = -1;  // the palette entry, or -1
};

// One tEXt or zTXt entry: keyword and text as the file's Shift_JIS bytes.
struct TextFact {
  std::string keyword;
  std::string text;
};

struct ChunkFact {
  std::uint32_t type = 0;
  std::uint32_t length = 0;
  std::uint64_t offset = 0;
};

struct ImageFacts {
  const char* format = "";  // "PNG" or "BMP"
  int width = 0;
  int height = 0;
  int bitCount = 0;  // of the image as loaded
  // "grey", "grey+alpha", "rgb", "rgb+alpha" or "palette"; absent when it depends on pixels
  // that were not read (a 32-bit BMP without bit fields).
  std::optional<std::string> colourType;
  int bitDepth = 0;  // bits per sample, per palette index for a palette
  bool interlaced = false;
  std::optional<int> paletteSize;  // palette images only
  std::optional<ColourKeyFact> transparent;
  std::optional<ColourKeyFact> background;
  std::optional<std::string> alpha;  // "none", "table" or "pixel"; absent as colourType is
  int resolutionX = 0;
  int resolutionY = 0;
  const char* resolutionUnit = "none";  // "metre", "inch" or "none" (aspect ratio only)
  DWORD gamma = 0;                      // × 100000; 0 when the file gives none
  int offsetX = 0;                      // in pixels, as the reader keeps them
  int offsetY = 0;
  bool leadingBlock = false;      // 256 bytes before the PNG signature
  std::vector<TextFact> text;     // in file order
  std::vector<ChunkFact> chunks;  // PNG only
};

// The facts of input. Without verify only the headers, the palette and the text are read (for
// a PNG, every chunk but the image data); with it the pixels are decoded too, and the facts
// that depend on them are known. Raises what the reader raises.
ImageFacts GatherImageFacts(ImageInput& input, bool verify);
