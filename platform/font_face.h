// A font face at one pixel size, rendering monochrome glyphs with FreeType.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/win_types.h"

// A horizontal stretch of ink: columns x0 to x1 - 1 of row y, relative to a pen position on the
// baseline (y < 0 above it).
struct InkRun {
  int y;
  int x0;
  int x1;
};

// One rendered glyph: a 1-byte-per-pixel mask (0 or 1), placed relative to the pen position on
// the baseline, and the same ink as runs.
struct GlyphImage {
  int left = 0;  // columns from the pen position to the mask's first column
  int top = 0;   // rows from the mask's first row up to the baseline
  int width = 0;
  int height = 0;
  int advance = 0;  // pen movement to the next glyph
  std::vector<BYTE> mask;
  std::vector<InkRun> runs;  // row by row, left to right
};

struct FontKey {
  std::string name;  // UTF-8 face name as the canvas font holds it
  int emPixels = 12;
  bool bold = false;
  bool operator==(const FontKey&) const = default;
};

class FontFace {
 public:
  // The face for key on this thread. Each thread has its own FreeType library, faces and glyph
  // cache, so several threads can draw text at once without locks; the reference stays valid
  // for the thread's life.
  static FontFace& ForThread(const FontKey& key);

  ~FontFace();
  FontFace(const FontFace&) = delete;
  FontFace& operator=(const FontFace&) = delete;

  // Rows from a line's top to its baseline, and below the baseline.
  int Ascent() const { return ascent_; }
  int Descent() const { return descent_; }
  // Rows from the baseline down to the underline.
  int UnderlineOffset() const { return underlineOffset_; }
  const std::string& Family() const { return family_; }

  // The glyph of a code point (the face's missing-glyph shape when it has none); cached.
  const GlyphImage& Glyph(char32_t codePoint);

 private:
  struct Impl;
  explicit FontFace(const FontKey& key);
  GlyphImage Render(char32_t codePoint);

  std::unique_ptr<Impl> impl_;
  bool bold_ = false;
  int ascent_ = 0;
  int descent_ = 0;
  int underlineOffset_ = 1;
  std::string family_;
};
