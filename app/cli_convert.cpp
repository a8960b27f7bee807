#include "app/cli_convert.h"

#include <ostream>
#include <stdexcept>

#include "app/cli_formats.h"
#include "app/cli_input.h"
#include "app/image_file.h"
#include "app/os_error.h"
#include "app/save_command.h"
#include "app/utf8_text.h"
#include "image/custom_dib.h"
#include "platform/stream.h"
#include "png/png_limits.h"
#include "png/ux_png.h"

namespace {

const char kConvertHelp[] =
    "Usage: nimbrel-cli convert [options] IN OUT\n"
    "\n"
    "Reads IN and writes OUT through Nimbrel's own codecs: PNG to BMP, BMP to PNG, PNG to PNG\n"
    "and BMP to BMP. IN's format is told by its content; OUT's by its extension, .png or .bmp,\n"
    "or by --format; standard output and a name without an extension get PNG. A file named -\n"
    "is standard input (IN) or standard output (OUT, but not a terminal).\n"
    "Palette, transparent and background colour, resolution and text travel with the image as\n"
    "far as the target format holds them. An existing OUT keeps its owner, permissions and\n"
    "links, and is replaced only once the new file is complete.\n"
    "\n"
    "  --format png|bmp   the format to write, whatever OUT is called\n"
    "  -q, --quiet        do not say when the text written was cut to the reader's limit\n"
    "  -h, --help         this help\n"
    "\n"
    "A file that ends too early is named with where it ends (\"file ends at byte 1234 inside\n"
    "chunk IDAT\"). Exit status: 0 written, 1 reading or writing failed, 2 bad arguments.\n";

// Text past the reader's limit never reached the image, so a PNG written from it holds less
// text than its source.
void ReportCutText(const TVynCustomDIB& image, const std::string& in, TGraphicClass format,
                   CliIo& io) {
  const auto* png = dynamic_cast<const TUxPNG*>(&image);
  if (png == nullptr || !png->TextTruncated() || FormatLabel(format) != "PNG") return;
  io.err << TerminalText(InputName(in)) << ": text cut to its first " << (kMaxTextBytes >> 20)
         << " MiB\n";
}

int RunConvert(const ParsedArguments& args, CliIo& io) {
  if (args.positional.size() != 2) throw CliUsageError("give an input and an output file");
  const std::string& in = args.positional[0];
  const std::string& out = args.positional[1];
  const SaveOptions save = OutputOptions(args, out, io);
  std::unique_ptr<TVynCustomDIB> image;
  try {
    image = LoadImageFile(in, io.in);
  } catch (const std::exception& e) {
    throw std::runtime_error(ErrorTextFor(InputName(in), e));
  }
  SaveGraphic(*image, out, save);
  if (!args.Has("quiet")) ReportCutText(*image, in, save.format, io);
  return kExitOk;
}

}  // namespace

const CliCommand kConvertCommand = {"convert", kConvertHelp, {{"format", 0, true}}, RunConvert};
