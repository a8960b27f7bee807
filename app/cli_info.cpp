#include "app/cli_info.h"

#include <ostream>

#include "app/cli_input.h"
#include "app/image_facts.h"
#include "app/image_file.h"
#include "app/info_report.h"
#include "app/os_error.h"
#include "app/utf8_text.h"

namespace {

const char kInfoHelp[] =
    "Usage: nimbrel-cli info [options] FILE...\n"
    "\n"
    "Reads each FILE (- reads stdin) with Nimbrel's own reader, PNG or BMP as its content says,\n"
    "and prints what it found: format, size, bit count, colour type and depth, palette,\n"
    "transparent and background colour, alpha, resolution, gamma, offset, text (keyword and\n"
    "text of each entry) and, for a PNG, its chunks. Control characters in the file's text are\n"
    "shown escaped (\\n, \\x1B).\n"
    "\n"
    "Without --verify only the headers, the palette and the text are read, so a huge picture\n"
    "costs no more than its file; damaged pixel data then goes unnoticed, and a 32-bit BMP\n"
    "without bit fields does not say whether it has alpha.\n"
    "\n"
    "  --verify      decode the pixels too, as convert does: every fault of the file shows\n"
    "  --json        one JSON object per line and file, for scripts; a file that cannot be read\n"
    "                gives {\"file\": ..., \"error\": ...} (man nimbrel-cli has every key)\n"
    "  -q, --quiet   accepted for symmetry; info prints nothing but its report and errors\n"
    "  -h, --help    this help\n"
    "\n"
    "Exit status: 0 every file read, 1 some file could not be read, 2 bad arguments.\n";

void Report(const std::string& file, bool first, const ParsedArguments& args, CliIo& io) {
  ImageInput input(file, io.in);
  const ImageFacts facts = GatherImageFacts(input, args.Has("verify"));
  if (args.Has("json")) return PrintFactsJson(facts, file, io.out);
  io.out << (first ? "" : "\n") << "file: " << TerminalText(file) << "\n";
  PrintFactsText(facts, io.out);
}

int RunInfo(const ParsedArguments& args, CliIo& io) {
  if (args.positional.empty()) throw CliUsageError("give at least one file");
  bool failed = false;
  for (std::size_t i = 0; i < args.positional.size(); ++i) {
    const std::string& file = args.positional[i];
    try {
      Report(file, i == 0, args, io);
    } catch (const std::exception& e) {
      failed = true;
      if (args.Has("json"))
        PrintErrorJson(file, ErrorText(e), io.out);
      else
        PrintError(io, ErrorTextFor(InputName(file), e));
    }
  }
  return failed ? kExitFailed : kExitOk;
}

}  // namespace

const CliCommand kInfoCommand = {"info", kInfoHelp, {{"json"}, {"verify"}}, RunInfo};
