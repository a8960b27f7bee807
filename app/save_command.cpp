#include "app/save_command.h"

#include "app/composer.h"
#include "app/replacing_file.h"
#include "platform/bitmap.h"
#include "png/ux_png.h"

void Button2Click(CaptionWindow& window, FileSync sync) {
  const auto fileName = window.ExecuteSaveDialog();
  if (!fileName) return;

  TBitmap& picture = window.Picture();
  TUxPNG image;
  image.Assign(&picture);
  image.SetBGColor(kBackgroundGrey);
  image.SetTransColor(kBackgroundGrey);
  if (!picture.Empty()) SaveGraphicReplacing(image, *fileName, sync);
}
