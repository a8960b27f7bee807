#include "app/cli_formats.h"

#include <filesystem>

#include "app/cli_options.h"
#include "app/utf8_text.h"
#include "image/custom_dib.h"

namespace {

// The base image class reads and writes BMP streams.
TGraphicClass BmpGraphicClass() {
  return GraphicClassOf<TVynCustomDIB>("TVynCustomDIB");
}

struct Signature {
  const char* extension;
  std::string_view bytes;
  std::size_t offset;
};

constexpr std::string_view kPngSignature("\x89PNG\r\n\x1a\n", 8);
// The PNG reader also accepts a signature after a 256-byte leading block.
constexpr std::size_t kPngLeadingBlock = 256;

constexpr Signature kSignatures[] = {
    {"PNG", kPngSignature, 0},
    {"BMP", "BM", 0},
    {"PNG", kPngSignature, kPngLeadingBlock},
};

}  // namespace

const char kFormatNames[] = "png|bmp";

CliFormatRegistration::CliFormatRegistration() {
  TPicture::RegisterFileFormat("BMP", "Device Independent Bitmap", BmpGraphicClass());
}

CliFormatRegistration::~CliFormatRegistration() {
  TPicture::UnregisterGraphicClass(BmpGraphicClass());
}

TGraphicClass FormatNamed(const std::string& name) {
  return name.empty() ? nullptr : TPicture::FileFormat(name).graphicClass;
}

TGraphicClass FormatOption(const std::string& name) {
  const TGraphicClass format = FormatNamed(name);
  if (format == nullptr)
    throw CliUsageError("unknown format '" + Abridged(name) + "': use " + kFormatNames);
  return format;
}

std::string ExtensionOf(const std::string& fileName) {
  const std::string extension = std::filesystem::path(fileName).extension().string();
  return extension == "." ? std::string() : extension;
}

TGraphicClass OutputFormat(const std::string& fileName, TGraphicClass formatOption) {
  if (formatOption != nullptr) return formatOption;
  const std::string extension = fileName == "-" ? std::string() : ExtensionOf(fileName);
  if (extension.empty()) return FormatNamed("png");
  const TGraphicClass format = FormatNamed(extension);
  if (format == nullptr)
    throw CliUsageError("cannot tell the format of " + Abridged(fileName) +
                        ": name it .png or .bmp, or give --format " + kFormatNames);
  return format;
}

TGraphicClass InputFormat(std::string_view bytes, const std::string& fileName) {
  for (const Signature& signature : kSignatures) {
    if (bytes.substr(std::min(signature.offset, bytes.size())).starts_with(signature.bytes))
      return FormatNamed(signature.extension);
  }
  return fileName == "-" ? nullptr : FormatNamed(ExtensionOf(fileName));
}

std::string FormatLabel(TGraphicClass format) {
  return format == BmpGraphicClass() ? "BMP" : "PNG";
}
