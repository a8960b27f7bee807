// DrawText: one line of text in a rectangle of a canvas, with the canvas's font and font colour.
#pragma once

#include "platform/ansi_string.h"
#include "platform/canvas.h"
#include "platform/win_types.h"

constexpr UINT DT_CENTER = 1;
constexpr UINT DT_SINGLELINE = 32;

// Draws text as one line whose top is rect's top: centred between rect's left and right with
// DT_CENTER, else starting at rect's left. "&&" draws one "&", "&x" draws x underlined, a lone
// "&" at the end draws nothing; tabs and line breaks are drawn as the font's glyphs, not
// expanded. Only glyph pixels are set (the brush is not used); output is clipped to rect and to
// the bitmap. Flags other than DT_CENTER are accepted and ignored (every line is single).
// Returns the height of the line.
int DrawText(TCanvas& canvas, const AnsiString& text, TRect& rect, UINT format);
