// TFont: the face, size, style and colour a canvas draws text in.
#pragma once

#include <initializer_list>

#include "platform/ansi_string.h"
#include "platform/win_types.h"

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };

// A set of font styles.
class TFontStyles {
 public:
  TFontStyles() = default;
  TFontStyles(std::initializer_list<TFontStyle> styles) {
    for (TFontStyle s : styles) bits_ |= Bit(s);
  }
  bool Contains(TFontStyle s) const { return (bits_ & Bit(s)) != 0; }
  bool operator==(const TFontStyles&) const = default;

 private:
  static unsigned Bit(TFontStyle s) { return 1u << unsigned(s); }
  unsigned bits_ = 0;
};

constexpr BYTE DEFAULT_CHARSET = 1;
constexpr BYTE SHIFTJIS_CHARSET = 128;
// The screen's resolution, by which point sizes become pixel heights.
constexpr int kScreenPixelsPerInch = 96;

// The canvas font. Height is negative for the height of the characters without internal leading
// (the em), as Size sets it. Only bold changes the drawn glyphs; the other styles are kept but
// not drawn, since nothing here draws them.
class TFont {
 public:
  COLORREF Color = clBlack;
  TFontStyles Style;
  int Height = -12;
  // "ＭＳ Ｐゴシック" in code page 932.
  AnsiString Name{"\x82\x6c\x82\x72\x20\x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e"};
  BYTE Charset = SHIFTJIS_CHARSET;

  int Size() const;
  void SetSize(int points);
};
