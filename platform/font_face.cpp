#include "platform/font_face.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <unordered_map>

#include "platform/exception.h"
#include "platform/font_lookup.h"

namespace {

// Faces larger than this are refused rather than rendered: nothing here draws big text, and the
// glyph masks stay small.
constexpr int kMaxEmPixels = 256;

struct ThreadFonts {
  FT_Library library = nullptr;
  std::vector<std::pair<FontKey, std::unique_ptr<FontFace>>> faces;

  ThreadFonts() {
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
  }
  ~ThreadFonts() {
    faces.clear();  // the faces belong to the library, so they go first
    if (library) FT_Done_FreeType(library);
  }
};

ThreadFonts& Fonts() {
  thread_local ThreadFonts fonts;
  return fonts;
}

int RoundedPixels(long fontUnits, int emPixels, int unitsPerEm) {
  return int(std::lround(double(fontUnits) * emPixels / unitsPerEm));
}

void CollectRuns(GlyphImage& glyph) {
  for (int y = 0; y < glyph.height; ++y) {
    const BYTE* row = glyph.mask.data() + std::size_t(y) * std::size_t(glyph.width);
    for (int x = 0; x < glyph.width;) {
      if (!row[x]) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < glyph.width && row[x]) ++x;
      glyph.runs.push_back({y - glyph.top, glyph.left + start, glyph.left + x});
    }
  }
}

}  // namespace

struct FontFace::Impl {
  FT_Face face = nullptr;
  std::unordered_map<char32_t, GlyphImage> glyphs;
  ~Impl() {
    if (face) FT_Done_Face(face);
  }
};

FontFace& FontFace::ForThread(const FontKey& key) {
  ThreadFonts& fonts = Fonts();
  for (auto& [k, face] : fonts.faces)
    if (k == key) return *face;
  fonts.faces.emplace_back(key, std::unique_ptr<FontFace>(new FontFace(key)));
  return *fonts.faces.back().second;
}

FontFace::FontFace(const FontKey& key) : impl_(std::make_unique<Impl>()), bold_(key.bold) {
  FT_Library library = Fonts().library;
  if (!library) throw Exception("FreeType could not be initialised");
  if (key.emPixels < 1 || key.emPixels > kMaxEmPixels) throw Exception("Font size out of range");
  const FaceLocation location = LocateFace(key.name);
  if (FT_New_Face(library, location.file.c_str(), location.index, &impl_->face) != 0)
    throw Exception::FromUtf8("Cannot open font file " + location.file);
  family_ = location.family;
  FT_Face face = impl_->face;
  FT_Set_Pixel_Sizes(face, 0, FT_UInt(key.emPixels));

  // The line's baseline sits the font's Windows ascent below its top, as the text of the
  // design's platform does; that table is the one that fits the glyphs of CJK faces, where the
  // typographic ascender often leaves the tallest kanji sticking out.
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  if (os2 && face->units_per_EM > 0 && os2->usWinAscent > 0) {
    ascent_ = RoundedPixels(os2->usWinAscent, key.emPixels, face->units_per_EM);
    descent_ = RoundedPixels(os2->usWinDescent, key.emPixels, face->units_per_EM);
  } else {
    ascent_ = int((face->size->metrics.ascender + 32) >> 6);
    descent_ = int((-face->size->metrics.descender + 32) >> 6);
  }
  if (face->units_per_EM > 0 && face->underline_position < 0) {
    underlineOffset_ =
        std::max(1, RoundedPixels(-face->underline_position, key.emPixels, face->units_per_EM));
  }
  underlineOffset_ = std::min(underlineOffset_, std::max(1, descent_ - 1));
}

FontFace::~FontFace() = default;

const GlyphImage& FontFace::Glyph(char32_t codePoint) {
  auto found = impl_->glyphs.find(codePoint);
  if (found != impl_->glyphs.end()) return found->second;
  return impl_->glyphs.emplace(codePoint, Render(codePoint)).first->second;
}

GlyphImage FontFace::Render(char32_t codePoint) {
  FT_Face face = impl_->face;
  GlyphImage glyph;
  const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(codePoint));
  // Monochrome: every pixel of a palette picture is one entry, so there is nothing to blend.
  if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) != 0) return glyph;
  FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) != 0)
    return glyph;
  const FT_Bitmap& bitmap = slot->bitmap;
  glyph.advance = int((slot->advance.x + 32) >> 6) + (bold_ ? 1 : 0);
  // Colour bitmaps (emoji) have no monochrome form; such a glyph keeps its advance only.
  if (bitmap.pixel_mode != FT_PIXEL_MODE_MONO && bitmap.pixel_mode != FT_PIXEL_MODE_GRAY)
    return glyph;
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  glyph.height = int(bitmap.rows);
  const int sourceWidth = int(bitmap.width);
  // Synthetic bold: the glyph struck again one pixel to the right, one pixel wider.
  const int extra = bold_ ? 1 : 0;
  glyph.width = sourceWidth > 0 ? sourceWidth + extra : 0;
  glyph.mask.assign(std::size_t(glyph.width) * std::size_t(glyph.height), 0);
  for (int y = 0; y < glyph.height; ++y) {
    const unsigned char* row = bitmap.buffer + std::ptrdiff_t(y) * bitmap.pitch;
    BYTE* out = glyph.mask.data() + std::size_t(y) * std::size_t(glyph.width);
    for (int x = 0; x < sourceWidth; ++x) {
      const bool on = bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[x >> 3] >> (7 - (x & 7))) & 1
                                                              : row[x] >= 128;
      if (!on) continue;
      out[x] = 1;
      if (extra) out[x + 1] = 1;
    }
  }
  CollectRuns(glyph);
  return glyph;
}
