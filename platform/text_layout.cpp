#include "platform/text_layout.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

// A caption has at most 13 different lines, each drawn in seven passes and measured once; this
// many layouts keep all of them.
constexpr std::size_t kCachedLayouts = 32;

struct FaceEntry {
  AnsiString name;
  int emPixels;
  bool bold;
  FontFace* face;
};

struct LayoutEntry {
  FontFace* face = nullptr;
  AnsiString text;
  bool prefixes = false;
  TextLine line;
};

struct LayoutCache {
  std::array<LayoutEntry, kCachedLayouts> entries;
  std::size_t next = 0;
};

int EmPixels(const TFont& font) {
  // A positive height asks for the cell height including internal leading; taking it as the em
  // draws slightly larger text, which nothing here asks for.
  return font.Height < 0 ? -font.Height : font.Height == 0 ? 12 : font.Height;
}

char32_t NextCodePoint(const std::u16string& s, std::size_t& i) {
  const char16_t unit = s[i++];
  if (unit >= 0xD800 && unit < 0xDC00 && i < s.size() && s[i] >= 0xDC00 && s[i] < 0xE000)
    return 0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(s[i++]) - 0xDC00);
  return unit;
}

void CollectRuns(TextLine& line) {
  std::vector<InkRun>& runs = line.runs;
  runs.clear();
  line.merged = false;
  if (line.glyphs.size() > kMaxMergedGlyphs) return;
  line.merged = true;
  const int underline = line.face->UnderlineOffset();
  for (const PlacedGlyph& placed : line.glyphs) {
    for (const InkRun& r : placed.glyph->runs)
      runs.push_back({r.y, r.x0 + placed.x, r.x1 + placed.x});
    if (placed.underlined) runs.push_back({underline, placed.x, placed.x + placed.glyph->advance});
  }
  std::sort(runs.begin(), runs.end(),
            [](const InkRun& a, const InkRun& b) { return a.y != b.y ? a.y < b.y : a.x0 < b.x0; });
  std::size_t kept = 0;
  for (const InkRun& r : runs) {
    if (kept > 0 && runs[kept - 1].y == r.y && r.x0 <= runs[kept - 1].x1) {
      runs[kept - 1].x1 = std::max(runs[kept - 1].x1, r.x1);
    } else {
      runs[kept++] = r;
    }
  }
  runs.resize(kept);
}

void Build(TextLine& line, const std::u16string& text, bool prefixes) {
  line.glyphs.clear();
  line.width = 0;
  for (std::size_t i = 0; i < text.size();) {
    bool underlined = false;
    if (prefixes && text[i] == u'&') {
      ++i;
      if (i == text.size()) break;  // a lone prefix at the end marks nothing
      underlined = text[i] != u'&';
    }
    const GlyphImage& glyph = line.face->Glyph(NextCodePoint(text, i));
    line.glyphs.push_back({&glyph, line.width, underlined});
    line.width += glyph.advance;
  }
  if (prefixes) CollectRuns(line);
}

}  // namespace

FontFace& FaceOf(const TFont& font) {
  thread_local std::vector<FaceEntry> faces;
  const int em = EmPixels(font);
  const bool bold = font.Style.Contains(fsBold);
  for (const FaceEntry& e : faces)
    if (e.emPixels == em && e.bold == bold && e.name == font.Name) return *e.face;
  FontFace& face = FontFace::ForThread({font.Name.ToUtf8(), em, bold});
  faces.push_back({font.Name, em, bold, &face});
  return face;
}

const TextLine& LayoutLine(const TFont& font, const AnsiString& text, bool prefixes) {
  thread_local LayoutCache cache;
  FontFace& face = FaceOf(font);
  for (const LayoutEntry& e : cache.entries)
    if (e.face == &face && e.prefixes == prefixes && e.text == text) return e.line;
  LayoutEntry& entry = cache.entries[cache.next];
  cache.next = (cache.next + 1) % kCachedLayouts;
  entry.face = nullptr;  // stays unusable if the conversion below fails
  entry.line.face = &face;
  Build(entry.line, text.ToUtf16(), prefixes);
  entry.text = text;
  entry.prefixes = prefixes;
  entry.face = &face;
  return entry.line;
}
