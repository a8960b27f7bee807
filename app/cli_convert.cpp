#include "app/cli_convert.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

#include "app/cli_options.h"
#include "app/save_command.h"
#include "image/custom_dib.h"
#include "png/ux_png.h"

const char kConvertHelp[] =
    "Usage: nimbrel-cli convert IN OUT\n"
    "\n"
    "Reads IN and writes OUT through Nimbrel's own codecs; each format is chosen by the file's\n"
    "extension, .png or .bmp, so PNG to BMP, BMP to PNG, PNG to PNG and BMP to BMP all work.\n"
    "Palette, transparent and background colour, resolution and text travel with the image as\n"
    "far as the target format holds them. OUT is replaced only once it is complete.\n"
    "Exit status: 0 written, 1 reading or writing failed, 2 bad arguments.\n";

namespace {

std::string LowerExtension(const std::string& fileName) {
  std::string extension = std::filesystem::path(fileName).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  return extension;
}

}  // namespace

std::unique_ptr<TVynCustomDIB> ImageForFile(const std::string& fileName) {
  const std::string extension = LowerExtension(fileName);
  if (extension == ".png") return std::make_unique<TUxPNG>();
  if (extension == ".bmp") return std::make_unique<TVynCustomDIB>();
  throw CliUsageError("cannot tell the format of " + fileName + ": use .png or .bmp");
}

void ConvertImageFile(const std::string& in, const std::string& out) {
  const std::unique_ptr<TVynCustomDIB> source = ImageForFile(in);
  const std::unique_ptr<TVynCustomDIB> target = ImageForFile(out);
  source->LoadFromFile(in);
  target->Assign(source.get());
  source->CopyFileInfo(*target);
  SaveGraphic(*target, out);
}

int RunConvert(const std::vector<std::string>& args, CliIo& io) {
  try {
    const ParsedArguments parsed = ParseArguments(args, {}, {"-h", "--help"});
    if (parsed.flags.count("-h") || parsed.flags.count("--help")) {
      io.out << kConvertHelp;
      return kExitOk;
    }
    if (parsed.positional.size() != 2) throw CliUsageError("give an input and an output file");
    ImageForFile(parsed.positional[0]);
    ImageForFile(parsed.positional[1]);
    try {
      ConvertImageFile(parsed.positional[0], parsed.positional[1]);
    } catch (const CliUsageError&) {
      throw;
    } catch (const std::exception& e) {
      io.err << "nimbrel-cli convert: " << e.what() << "\n";
      return kExitFailed;
    }
  } catch (const CliUsageError& e) {
    io.err << "nimbrel-cli convert: " << e.what() << "\nTry 'nimbrel-cli convert --help'.\n";
    return kExitUsage;
  }
  return kExitOk;
}
