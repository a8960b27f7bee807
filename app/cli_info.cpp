#include "app/cli_info.h"

#include <cstdio>
#include <ostream>

#include "app/cli_string_window.h"
#include "app/image_file.h"
#include "app/os_error.h"
#include "app/utf8_text.h"
#include "image/custom_dib.h"
#include "png/ux_png.h"

namespace {

const char kInfoHelp[] =
    "Usage: nimbrel-cli info [options] FILE...\n"
    "\n"
    "Loads each FILE (- reads stdin) with Nimbrel's own reader, PNG or BMP as its content says,\n"
    "and prints what it found: format, size, bit count, colour type and depth, palette,\n"
    "transparent and background colour, alpha, resolution, gamma, offset and text. Control\n"
    "characters in the file's text are shown escaped (\\n, \\x1B).\n"
    "\n"
    "  --json        one JSON object per line and file, for scripts; a file that cannot be read\n"
    "                gives {\"file\": ..., \"error\": ...}\n"
    "  -q, --quiet   accepted for symmetry; info prints nothing but its report and errors\n"
    "  -h, --help    this help\n"
    "\n"
    "Exit status: 0 every file read, 1 some file could not be read, 2 bad arguments.\n";

const char kPngLeadingBlock[] = "256 bytes before the PNG signature";

// The colour model of the file as stored: for a PNG what its header said, for a BMP what the
// image holds.
struct ColourType {
  const char* name;
  int bitDepth;  // bits per sample (per palette index for "palette")
};

ColourType ColourTypeOf(TVynCustomDIB& image, const TVynCustomInternalDIB& store) {
  const bool alpha = store.GetAlphaMode() == kAlphaModePixel;
  const bool png = dynamic_cast<TUxPNG*>(&image) != nullptr;
  const int bits = png ? image.FInfoColorBits : store.BitCount();
  if (png && image.FInfoGrayscale) return {alpha ? "grey+alpha" : "grey", bits};
  if (bits <= 8) return {"palette", bits};
  return {alpha ? "rgb+alpha" : "rgb", png ? bits / 3 : 8};
}

const char* FormatOf(TVynCustomDIB& image) {
  return dynamic_cast<TUxPNG*>(&image) != nullptr ? "PNG" : "BMP";
}

std::string Hex(COLORREF colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", GetRValue(colour), GetGValue(colour),
                GetBValue(colour));
  return text;
}

bool IsColour(COLORREF colour) {
  return colour <= 0x00FFFFFF;
}

std::string ColourText(COLORREF colour, int index) {
  if (!IsColour(colour)) return "none";
  std::string text = Hex(colour);
  if (index >= 0) text += " (palette index " + std::to_string(index) + ")";
  return text;
}

const char* AlphaName(int mode) {
  switch (mode) {
    case kAlphaModeTable:
      return "table";
    case kAlphaModePixel:
      return "pixel";
    default:
      return "none";
  }
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

const char* ResolutionUnit(const TVynDIBDesc& desc) {
  return desc.UnitSpecifier == 1 ? "metre" : desc.UnitSpecifier == 2 ? "inch" : "none";
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

std::string GammaNumber(DWORD gamma) {
  char text[24];
  std::snprintf(text, sizeof text, "%.5f", gamma / 100000.0);
  return text;
}

// The gathered text's lines (CR LF apart), each escaped, indented under "text:".
std::string TextBlock(const AnsiString& text) {
  if (text.IsEmpty()) return " none\n";
  const std::string utf8 = MessageUtf8(text);
  std::string block = "\n";
  for (std::size_t start = 0; start < utf8.size();) {
    std::size_t end = utf8.find("\r\n", start);
    if (end == std::string::npos) end = utf8.size();
    block += "  " + TerminalText(std::string_view(utf8).substr(start, end - start)) + "\n";
    start = end + 2;
  }
  return block;
}

std::string JsonColour(COLORREF colour, int index) {
  if (!IsColour(colour)) return "null";
  return "{\"colour\": \"" + Hex(colour) +
         "\", \"index\": " + (index >= 0 ? std::to_string(index) : "null") + "}";
}

void DescribeJsonError(const std::string& fileName, const std::string& error, std::ostream& out) {
  out << "{\"file\": " << JsonString(fileName) << ", \"error\": " << JsonString(error) << "}\n";
}

int RunInfo(const ParsedArguments& args, CliIo& io) {
  if (args.positional.empty()) throw CliUsageError("give at least one file");
  const bool json = args.Has("json");
  bool failed = false;
  for (std::size_t i = 0; i < args.positional.size(); ++i) {
    const std::string& file = args.positional[i];
    try {
      const std::unique_ptr<TVynCustomDIB> image = LoadImageFile(file, io.in);
      if (json) {
        DescribeImageJson(*image, file, io.out);
        continue;
      }
      io.out << (i > 0 ? "\n" : "") << "file: " << TerminalText(file) << "\n";
      DescribeImage(*image, io.out);
    } catch (const std::exception& e) {
      failed = true;
      if (json) {
        DescribeJsonError(file, ErrorText(e), io.out);
      } else {
        PrintError(io, file + ": " + ErrorText(e));
      }
    }
  }
  return failed ? kExitFailed : kExitOk;
}

}  // namespace

const CliCommand kInfoCommand = {"info", kInfoHelp, {{"json"}}, RunInfo};

void DescribeImage(TVynCustomDIB& image, std::ostream& out) {
  const TVynCustomInternalDIB* store = image.Image();
  if (store == nullptr || !store->HasImage()) {
    out << "image: none\n";
    return;
  }
  const TVynDIBDesc& desc = store->Desc();
  const ColourType colour = ColourTypeOf(image, *store);
  out << "format: " << FormatOf(image) << "\n";
  out << "size: " << store->Width() << " x " << store->Height() << "\n";
  out << "bit count: " << store->BitCount() << "\n";
  out << "colour type: " << colour.name << ", " << colour.bitDepth << " bits per sample"
      << (image.FInfoInterlace ? ", interlaced" : "") << "\n";
  out << "palette entries: " << store->PaletteCount() << "\n";
  out << "transparent colour: " << ColourText(store->TransColor(), store->TransIndex()) << "\n";
  out << "background colour: " << ColourText(store->BGColor(), store->BGIndex()) << "\n";
  out << "alpha: " << AlphaText(store->GetAlphaMode()) << "\n";
  out << "resolution: " << ResolutionText(desc) << "\n";
  out << "gamma: " << (desc.Gamma == 0 ? "none" : GammaNumber(desc.Gamma)) << "\n";
  // The reader keeps offsets only when the file gives them in pixels.
  out << "offset: " << image.FInfoOffsetX << ", " << image.FInfoOffsetY << " pixels\n";
  if (image.FInfoPrefixed) out << "leading block: " << kPngLeadingBlock << "\n";
  out << "text:" << TextBlock(image.FInfoText);
}

void DescribeImageJson(TVynCustomDIB& image, const std::string& fileName, std::ostream& out) {
  const TVynCustomInternalDIB* store = image.Image();
  if (store == nullptr || !store->HasImage()) {
    DescribeJsonError(fileName, "no image", out);
    return;
  }
  const TVynDIBDesc& desc = store->Desc();
  const ColourType colour = ColourTypeOf(image, *store);
  out << "{\"file\": " << JsonString(fileName) << ", \"format\": \"" << FormatOf(image)
      << "\", \"width\": " << store->Width() << ", \"height\": " << store->Height()
      << ", \"bitCount\": " << store->BitCount() << ", \"colourType\": \"" << colour.name
      << "\", \"bitDepth\": " << colour.bitDepth
      << ", \"interlaced\": " << (image.FInfoInterlace ? "true" : "false")
      << ", \"paletteSize\": " << store->PaletteCount()
      << ", \"transparent\": " << JsonColour(store->TransColor(), store->TransIndex())
      << ", \"background\": " << JsonColour(store->BGColor(), store->BGIndex()) << ", \"alpha\": \""
      << AlphaName(store->GetAlphaMode()) << "\", \"resolution\": {\"x\": " << desc.WidthSpecific
      << ", \"y\": " << desc.HeightSpecific << ", \"unit\": \"" << ResolutionUnit(desc)
      << "\"}, \"gamma\": " << (desc.Gamma == 0 ? "null" : GammaNumber(desc.Gamma))
      << ", \"offset\": {\"x\": " << image.FInfoOffsetX << ", \"y\": " << image.FInfoOffsetY
      << ", \"unit\": \"pixels\"}, \"leadingBlock\": " << (image.FInfoPrefixed ? "true" : "false")
      << ", \"text\": " << JsonString(MessageUtf8(image.FInfoText)) << "}\n";
}
