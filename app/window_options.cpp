#include "app/window_options.h"

#include <ostream>
#include <string_view>

#include "app/release.h"

namespace {

const char kWindowHelp[] =
    "Usage: nimbrel [Qt options]\n"
    "\n"
    "Opens the Nimbrel window: type a title, a second line and a description, pick the text and\n"
    "outline colours, and save the 310 x 180 caption picture as an 8-bit PNG.\n"
    "\n"
    "  --version   print the version and exit\n"
    "  -h, --help  this help\n"
    "\n"
    "Other options go to Qt, such as -platform NAME or -display DISPLAY.\n"
    "'nimbrel-cli --help' describes the command line.\n";

}  // namespace

std::optional<int> AnswerWindowOption(int argc, const char* const* argv, std::ostream& out) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--version") {
      out << "nimbrel " NIMBREL_VERSION "\n";
      return 0;
    }
    if (arg == "-h" || arg == "--help") {
      out << kWindowHelp;
      return 0;
    }
  }
  return std::nullopt;
}
