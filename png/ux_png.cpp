// TUxPNG's save side: the whole image or a rectangle of it through the PNG writer.
#include "png/ux_png.h"

#include <cstdint>

#include "image/dib_error.h"
#include "png/png_writer.h"

void TUxPNG::SaveToStream(TStream& stream) {
  CheckImage("SaveToStream");
  PngWriteState state;
  state.Stream = &stream;
  state.Image = this;
  PngSaveStream(state, 0, 0, 0, 0, &Settings);
}

void TUxPNG::RectSaveToStream(TStream& stream, int left, int top, int width, int height) {
  CheckImage("RectSaveToStream");
  if (width != 0 && height != 0) {
    const std::int64_t right = std::int64_t(left) + width;
    const std::int64_t bottom = std::int64_t(top) + height;
    if (width < 0 || height < 0 || left < 0 || top < 0 || right > FImage->Width() ||
        bottom > FImage->Height())
      RaiseDIBError("RectSaveToStream", "error param");
  }
  PngWriteState state;
  state.Stream = &stream;
  state.Image = this;
  PngSaveStream(state, left, top, width, height, &Settings);
}
