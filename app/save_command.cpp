#include "app/save_command.h"

#include "app/composer.h"
#include "app/replacing_file.h"
#include "platform/bitmap.h"
#include "platform/stream.h"
#include "png/ux_png.h"

namespace {

// Copies the picture into image, with the grey as the colour to lay the caption over.
void AssignCaption(TUxPNG& image, TBitmap& picture) {
  image.Assign(&picture);
  image.SetBGColor(kBackgroundGrey);
  image.SetTransColor(kBackgroundGrey);
}

}  // namespace

void Button2Click(CaptionWindow& window, FileSync sync) {
  const auto fileName = window.ExecuteSaveDialog();
  if (!fileName) return;

  TBitmap& picture = window.Picture();
  TUxPNG image;
  AssignCaption(image, picture);
  if (!picture.Empty()) SaveGraphicReplacing(image, *fileName, sync);
}

std::vector<std::uint8_t> CaptionPngBytes(TBitmap& picture) {
  TUxPNG image;
  AssignCaption(image, picture);
  TMemoryStream stream;
  image.SaveToStream(stream);
  return std::move(stream.Bytes());
}
