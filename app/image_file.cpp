#include "app/image_file.h"

#include <stdexcept>

#include "app/bmp_layout.h"
#include "app/cli_formats.h"
#include "app/cli_input.h"
#include "app/os_error.h"
#include "app/png_chunk_walk.h"
#include "image/custom_dib.h"

ImageInput::ImageInput(const std::string& fileName, std::istream& in)
    : stream_(ReadInput(fileName, in)), format_(InputFormat(Bytes(), fileName)) {
  std::unique_ptr<TGraphic> probe = format_ ? format_->create() : nullptr;
  if (dynamic_cast<TVynCustomDIB*>(probe.get()) == nullptr)
    throw std::runtime_error("cannot tell the format: it is neither PNG nor BMP");
}

std::string_view ImageInput::Bytes() const {
  return AsChars(stream_.Bytes());
}

bool ImageInput::IsPng() const {
  return FormatLabel(format_) == "PNG";
}

TMemoryStream& ImageInput::Stream() {
  stream_.SetPosition(0);
  return stream_;
}

std::unique_ptr<TVynCustomDIB> ImageInput::Load() {
  // The constructor made sure the class is one of ours.
  std::unique_ptr<TVynCustomDIB> image(static_cast<TVynCustomDIB*>(format_->create().release()));
  Explaining([&] { image->LoadFromStream(Stream()); });
  return image;
}

void ImageInput::RaiseWithFileEnd(const EReadError& e) const {
  throw WithOsReason<EReadError>(e, 0, IsPng() ? PngFileEnd(Bytes()) : BmpFileEnd(Bytes()));
}

std::unique_ptr<TVynCustomDIB> LoadImageFile(const std::string& fileName, std::istream& in) {
  return ImageInput(fileName, in).Load();
}
