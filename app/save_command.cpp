#include "app/save_command.h"

#include <cerrno>
#include <memory>
#include <ostream>

#include "app/composer.h"
#include "app/os_error.h"
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

void Button2Click(CaptionWindow& window, const SaveOptions& options) {
  const auto fileName = window.ExecuteSaveDialog();
  if (!fileName) return;

  TBitmap& picture = window.Picture();
  TUxPNG image;
  AssignCaption(image, picture);
  if (!picture.Empty()) SaveGraphic(image, *fileName, options);
}

void SaveGraphic(TGraphic& graphic, const std::string& fileName, const SaveOptions& options) {
  TGraphic* writer = &graphic;
  std::unique_ptr<TGraphic> converted;
  if (options.format != nullptr) {
    converted = options.format->create();
    converted->Assign(&graphic);
    writer = converted.get();
  }
  TMemoryStream encoded;
  writer->SaveToStream(encoded);
  const std::string_view bytes(reinterpret_cast<const char*>(encoded.Bytes().data()),
                               encoded.Bytes().size());
  if (fileName == "-" && options.standardOutput != nullptr) {
    errno = 0;
    options.standardOutput->write(bytes.data(), std::streamsize(bytes.size())).flush();
    if (!*options.standardOutput) WriteError(errno);
    return;
  }
  SaveFileBytes(fileName, bytes, options.file);
}

std::vector<std::uint8_t> CaptionPngBytes(TBitmap& picture) {
  TUxPNG image;
  AssignCaption(image, picture);
  TMemoryStream stream;
  image.SaveToStream(stream);
  return std::move(stream.Bytes());
}
