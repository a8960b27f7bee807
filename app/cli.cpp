#include "app/cli.h"

#include <ostream>

#include "app/caption_text.h"
#include "app/cli_batch.h"
#include "app/cli_compose.h"
#include "app/cli_convert.h"
#include "app/cli_formats.h"
#include "app/cli_info.h"
#include "app/cli_serve.h"
#include "app/os_error.h"
#include "app/release.h"
#include "app/utf8_text.h"

namespace {

const char kHelp[] =
    "Usage: nimbrel-cli COMMAND [arguments]\n"
    "\n"
    "Commands:\n"
    "  compose   one caption picture from a title, a second line and a description\n"
    "  batch     many caption pictures from a tab-separated table, on all cores\n"
    "  info      what Nimbrel's readers see in PNG and BMP files\n"
    "  convert   re-encode between BMP and PNG\n"
    "  serve     the caption page and its HTTP API, for a browser or a web site\n"
    "  help      this overview, or 'nimbrel-cli help COMMAND' for a command's options\n"
    "\n"
    "'nimbrel-cli COMMAND --help' describes each command; 'nimbrel-cli --version' prints the\n"
    "version. A file named '-' is standard input or standard output.\n";

const CliCommand* const kCommands[] = {&kComposeCommand, &kBatchCommand, &kInfoCommand,
                                       &kConvertCommand, &kServeCommand};

const CliCommand* FindCommand(const std::string& name) {
  for (const CliCommand* command : kCommands)
    if (name == command->name) return command;
  return nullptr;
}

int RunCommand(const CliCommand& command, const std::vector<std::string>& args, CliIo& io) {
  try {
    std::vector<CliOption> options = command.options;
    options.insert(options.end(), kCommonOptions.begin(), kCommonOptions.end());
    const ParsedArguments parsed = ParseArguments(args, options);
    if (parsed.Has("help")) {
      io.out << command.help;
      return kExitOk;
    }
    return command.run(parsed, io);
  } catch (const CliUsageError& e) {
    io.err << "nimbrel-cli " << command.name << ": " << TerminalText(e.what())
           << "\nTry 'nimbrel-cli " << command.name << " --help'.\n";
    return kExitUsage;
  } catch (const CliInputError& e) {
    PrintError(io, e.what());
    for (const std::string& detail : e.Details()) PrintError(io, detail);
    // Text given as an argument means wrong arguments; text read from a file (a description, a
    // table) is that file's failure, as an unreadable file is.
    return dynamic_cast<const CaptionTextError*>(&e) ? kExitUsage : kExitFailed;
  } catch (const std::exception& e) {
    PrintError(io, ErrorText(e));
    return kExitFailed;
  }
}

int RunHelp(const std::vector<std::string>& args, CliIo& io) {
  if (args.empty()) {
    io.out << kHelp;
    return kExitOk;
  }
  const CliCommand* command = args.size() == 1 ? FindCommand(args.front()) : nullptr;
  if (command == nullptr) {
    io.err << "nimbrel-cli help: give one command: compose, batch, info, convert or serve\n";
    return kExitUsage;
  }
  io.out << command->help;
  return kExitOk;
}

}  // namespace

void PrintError(CliIo& io, const std::string& text) {
  io.err << "nimbrel-cli: " << TerminalText(text) << "\n";
}

SaveOptions OutputOptions(const ParsedArguments& args, const std::string& output, CliIo& io) {
  if (output == "-" && io.outIsTerminal)
    throw CliUsageError(
        "not writing a picture to a terminal: redirect standard output or name a file");
  SaveOptions save;
  save.format =
      OutputFormat(output, args.Has("format") ? FormatOption(args.Value("format")) : nullptr);
  save.standardOutput = &io.out;
  return save;
}

int RunCli(const std::vector<std::string>& args, CliIo& io) {
  if (args.empty()) {
    io.err << kHelp;
    return kExitUsage;
  }
  const CliFormatRegistration formats;
  const std::string& command = args.front();
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  if (const CliCommand* found = FindCommand(command)) return RunCommand(*found, rest, io);
  if (command == "-h" || command == "--help" || command == "help") return RunHelp(rest, io);
  if (command == "--version" || command == "-V") {
    io.out << "nimbrel-cli " NIMBREL_VERSION "\n";
    return kExitOk;
  }
  io.err << "nimbrel-cli: unknown command '" << TerminalText(Abridged(command)) << "'\n\n" << kHelp;
  return kExitUsage;
}
