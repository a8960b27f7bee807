#include "app/image_file.h"

#include <stdexcept>

#include "app/cli_formats.h"
#include "app/cli_input.h"
#include "image/custom_dib.h"
#include "platform/stream.h"

namespace {

std::string InputName(const std::string& fileName) {
  return fileName == "-" ? "standard input" : fileName;
}

}  // namespace

std::unique_ptr<TVynCustomDIB> LoadImageFile(const std::string& fileName, std::istream& in) {
  TMemoryStream stream(ReadInput(fileName, in));
  const TGraphicClass format = InputFormat(AsChars(stream.Bytes()), fileName);
  std::unique_ptr<TGraphic> graphic = format ? format->create() : nullptr;
  auto* image = dynamic_cast<TVynCustomDIB*>(graphic.get());
  if (image == nullptr)
    throw std::runtime_error("cannot tell the format of " + InputName(fileName) +
                             ": it is neither PNG nor BMP");
  std::unique_ptr<TVynCustomDIB> owned(image);
  graphic.release();
  owned->LoadFromStream(stream);
  return owned;
}
