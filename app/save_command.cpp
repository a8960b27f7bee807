#include "app/save_command.h"

#include <cerrno>
#include <memory>
#include <ostream>

#include "app/composer.h"
#include "app/os_error.h"
#include "platform/bitmap.h"
#include "platform/stream.h"
#include "png/ux_png.h"

std::vector<std::uint8_t> EncodeGraphic(TGraphic& graphic, TGraphicClass format) {
  TGraphic* writer = &graphic;
  std::unique_ptr<TGraphic> converted;
  if (format != nullptr) {
    converted = format->create();
    converted->Assign(&graphic);
    writer = converted.get();
  }
  TMemoryStream encoded;
  writer->SaveToStream(encoded);
  return std::move(encoded.Bytes());
}

void WriteOutput(std::string_view bytes, const std::string& fileName, const SaveOptions& options) {
  if (fileName == "-" && options.standardOutput != nullptr) {
    errno = 0;
    options.standardOutput->write(bytes.data(), std::streamsize(bytes.size())).flush();
    if (!*options.standardOutput) WriteError(errno);
    return;
  }
  SaveFileBytes(fileName, bytes, options.file);
}

void SaveGraphic(TGraphic& graphic, const std::string& fileName, const SaveOptions& options) {
  const std::vector<std::uint8_t> bytes = EncodeGraphic(graphic, options.format);
  WriteOutput({reinterpret_cast<const char*>(bytes.data()), bytes.size()}, fileName, options);
}

std::vector<std::uint8_t> CaptionBytes(TBitmap& picture, TGraphicClass format) {
  // The grey is the colour to lay the caption over.
  TUxPNG image;
  image.Assign(&picture);
  image.SetBGColor(kBackgroundGrey);
  image.SetTransColor(kBackgroundGrey);
  return EncodeGraphic(image, format);
}
