#include "app/cli_info.h"

#include <cstdio>
#include <ostream>

#include "app/cli_convert.h"
#include "app/cli_options.h"
#include "app/cli_string_window.h"
#include "image/custom_dib.h"

const char kInfoHelp[] =
    "Usage: nimbrel-cli info FILE\n"
    "\n"
    "Loads FILE with Nimbrel's own reader (PNG for .png, BMP for .bmp) and prints what it\n"
    "found: size, bit count, palette, transparent and background colour, alpha, resolution,\n"
    "gamma, offsets and text (as UTF-8).\n"
    "Exit status: 0 read, 1 the file could not be read, 2 bad arguments.\n";

namespace {

std::string ColourText(COLORREF colour, int index) {
  if (colour > 0x00FFFFFF) return "none";
  char text[40];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour),
                GetBValue(colour));
  std::string result = text;
  if (index >= 0) result += " (palette index " + std::to_string(index) + ")";
  return result;
}

const char* AlphaText(int mode) {
  switch (mode) {
    case kAlphaModeTable:
      return "per palette entry";
    case kAlphaModePixel:
      return "per pixel";
    default:
      return "none";
  }
}

std::string ResolutionText(const TVynDIBDesc& desc) {
  const std::string size =
      std::to_string(desc.WidthSpecific) + " x " + std::to_string(desc.HeightSpecific);
  switch (desc.UnitSpecifier) {
    case 1:
      return size + " pixels per metre";
    case 2:
      return size + " pixels per inch";
    default:
      return size + " (aspect ratio only)";
  }
}

std::string GammaText(DWORD gamma) {
  if (gamma == 0) return "none";
  char text[40];
  std::snprintf(text, sizeof text, "%.5f (%lu)", gamma / 100000.0,
                static_cast<unsigned long>(gamma));
  return text;
}

}  // namespace

void DescribeImage(TVynCustomDIB& image, std::ostream& out) {
  const TVynCustomInternalDIB* store = image.Image();
  if (store == nullptr || !store->HasImage()) {
    out << "image: none\n";
    return;
  }
  const TVynDIBDesc& desc = store->Desc();
  out << "size: " << store->Width() << " x " << store->Height() << "\n";
  out << "bit count: " << store->BitCount() << "\n";
  out << "palette entries: " << store->PaletteCount() << "\n";
  out << "transparent colour: " << ColourText(store->TransColor(), store->TransIndex()) << "\n";
  out << "background colour: " << ColourText(store->BGColor(), store->BGIndex()) << "\n";
  out << "alpha: " << AlphaText(store->GetAlphaMode()) << "\n";
  out << "resolution: " << ResolutionText(desc) << "\n";
  out << "gamma: " << GammaText(desc.Gamma) << "\n";
  out << "offset: " << image.FInfoOffsetX << ", " << image.FInfoOffsetY
      << (image.FInfoPrefixed ? " (micrometres)" : "") << "\n";
  if (image.FInfoWidth > 0) {
    out << "source: " << image.FInfoWidth << " x " << image.FInfoHeight << ", "
        << image.FInfoColorBits << " bits per pixel" << (image.FInfoGrayscale ? ", grey" : "")
        << (image.FInfoInterlace ? ", interlaced" : "") << "\n";
  }
  out << "text: " << MessageUtf8(image.FInfoText) << "\n";
}

int RunInfo(const std::vector<std::string>& args, CliIo& io) {
  try {
    const ParsedArguments parsed = ParseArguments(args, {}, {"-h", "--help"});
    if (parsed.flags.count("-h") || parsed.flags.count("--help")) {
      io.out << kInfoHelp;
      return kExitOk;
    }
    if (parsed.positional.size() != 1) throw CliUsageError("give one file");
    const std::string& file = parsed.positional.front();
    auto image = ImageForFile(file);
    try {
      image->LoadFromFile(file);
    } catch (const std::exception& e) {
      io.err << "nimbrel-cli info: " << e.what() << "\n";
      return kExitFailed;
    }
    io.out << "file: " << file << "\n";
    DescribeImage(*image, io.out);
  } catch (const CliUsageError& e) {
    io.err << "nimbrel-cli info: " << e.what() << "\nTry 'nimbrel-cli info --help'.\n";
    return kExitUsage;
  }
  return kExitOk;
}
