// Placeholder until the PNG reader lands.
#include "png/ux_png.h"

void TUxPNG::LoadFromStream(TStream&) { throw EVynPNG("PNG LoadStream: Not PNG Format"); }
