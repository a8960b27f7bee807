// The image data: every IDAT chunk of a load goes through here.
#pragma once

#include "png/png_read_state.h"

// Reads the whole picture from the first IDAT chunk on, into newly allocated storage in
// state.Desc; later IDAT chunks of the same run carry only the rest of the compressed stream.
void HandleIDAT(PngReadState& state);
