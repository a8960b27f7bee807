// Lines of text laid out in a canvas font: which glyph goes where, and how wide the line is.
#pragma once

#include <vector>

#include "platform/ansi_string.h"
#include "platform/font.h"
#include "platform/font_face.h"

struct PlacedGlyph {
  const GlyphImage* glyph;  // owned by the thread's face, valid for the thread's life
  int x;                    // pen position from the line's start
  bool underlined;          // a prefixed character ("&x")
};

// Far more than a picture's width holds.
constexpr std::size_t kMaxMergedGlyphs = 512;

struct TextLine {
  FontFace* face = nullptr;
  std::vector<PlacedGlyph> glyphs;
  int width = 0;  // sum of the advances
  // All the line's ink, underlines included, relative to its start on the baseline: sorted by
  // row, then column, and merged, so drawing a line is one fill per run. Only drawn lines of
  // at most kMaxMergedGlyphs glyphs have them; longer ones (pasted pages) are drawn glyph by
  // glyph, so their layout stays small.
  bool merged = false;
  std::vector<InkRun> runs;
};

// The face a canvas font draws with on this thread.
FontFace& FaceOf(const TFont& font);

// Lays out text on one line. With prefixes, "&&" becomes "&", "&x" an underlined x and a final
// lone "&" nothing; without, every character is a glyph (as text measuring sees it). Recent
// layouts are cached per thread, since a caption draws every line seven times.
const TextLine& LayoutLine(const TFont& font, const AnsiString& text, bool prefixes);
