// The image library's fixed colour tables and the palette-display flag.
#pragma once

#include <array>

#include "platform/gdi.h"
#include "platform/halftone_palette.h"
#include "platform/win_types.h"

// The fixed 16-colour palette that conversions to 4 bits use, as RGBQUAD (blue, green, red, 0).
const std::array<RGBQUAD, 16>& SixteenColorPalette();

// A new palette object of the 256-entry halftone table (flags 0); the caller owns it.
HPALETTE CreateLibraryHalftonePalette();

// True when the screen is a palette display of at most 256 colours. Read from the screen's
// capabilities by InitPaletteDisplayFlag, which start-up calls once; a first use before that
// reads it then.
bool PaletteDisplayFlag();
// Reads the flag from the screen device context again; tests call it after switching the
// screen with SetPaletteDisplay.
void InitPaletteDisplayFlag();
