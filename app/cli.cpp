#include "app/cli.h"

#include <ostream>

#include "app/cli_batch.h"
#include "app/cli_compose.h"
#include "app/cli_convert.h"
#include "app/cli_info.h"
#include "app/release.h"

namespace {

const char kHelp[] =
    "Usage: nimbrel-cli COMMAND [arguments]\n"
    "\n"
    "Commands:\n"
    "  compose   one caption picture from a title, a second line and a description\n"
    "  batch     many caption pictures from a tab-separated table, on all cores\n"
    "  info      what the PNG reader sees in a file\n"
    "  convert   re-encode between BMP and PNG (chosen by the file extensions)\n"
    "\n"
    "'nimbrel-cli COMMAND --help' describes each command; 'nimbrel-cli --version' prints the\n"
    "version.\n";

}  // namespace

int RunCli(const std::vector<std::string>& args, CliIo& io) {
  if (args.empty()) {
    io.err << kHelp;
    return kExitUsage;
  }
  const std::string& command = args.front();
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (command == "compose") return RunCompose(rest, io);
  if (command == "batch") return RunBatch(rest, io);
  if (command == "info") return RunInfo(rest, io);
  if (command == "convert") return RunConvert(rest, io);
  if (command == "-h" || command == "--help" || command == "help") {
    io.out << kHelp;
    return kExitOk;
  }
  if (command == "--version") {
    io.out << "nimbrel-cli " NIMBREL_VERSION "\n";
    return kExitOk;
  }
  io.err << "nimbrel-cli: unknown command '" << command << "'\n\n" << kHelp;
  return kExitUsage;
}
