// The store a load's rows go into: its palette, its pixel memory and the keys the chunks
// before the image data gave.
#pragma once

#include "png/png_read_state.h"
#include "png/png_row_convert.h"

// Allocates the store for rows of `format` into state.Desc. Rows of 8 bits or fewer that are
// not grey need a PLTE of 1 to 256 entries, else "PNG Loadstream: error palette length".
void SetUpStore(PngReadState& state, const RowFormat& format);
