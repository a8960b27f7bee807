// Placeholder until the PNG writer lands.
#include "png/ux_png.h"

void TUxPNG::SaveToStream(TStream&) { throw EQorPNG("PNG SaveStream: not implemented"); }
void TUxPNG::RectSaveToStream(TStream&, int, int, int, int) {
  throw EQorPNG("PNG SaveStream: not implemented");
}
