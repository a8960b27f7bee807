#include "png/png_registration.h"

#include "png/ux_png.h"

TGraphicClass UxPNGGraphicClass() {
  return GraphicClassOf<TUxPNG>("TUxPNG");
}

void RegisterPngFormat() {
  TPicture::RegisterClipboardFormat(CF_DIB, UxPNGGraphicClass());
  TPicture::RegisterFileFormat("PNG", "Portable Network Graphics", UxPNGGraphicClass());
}

void UnregisterPngFormat() {
  TPicture::UnregisterGraphicClass(UxPNGGraphicClass());
}
