// nimbrel-cli: the composer and the codecs without a window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/cli_options.h"
#include "app/save_command.h"

struct CliIo {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;  // progress lines only on a terminal
  bool outIsTerminal = false;  // no picture is written to a terminal
};

// Exit codes: 0 done, 1 the work failed, 2 the arguments or the input text were wrong.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// A command: its name, its help, its options besides kCommonOptions, and what runs it. run may
// throw: CliUsageError and a CaptionTextError (text in an argument) exit with 2, any other error
// (a CliInputError from a file's text included) with 1, each printed.
struct CliCommand {
  const char* name;
  const char* help;
  std::vector<CliOption> options;
  int (*run)(const ParsedArguments& arguments, CliIo& io);
};

// Prints "nimbrel-cli: " and text, escaped for the terminal since it may quote a file's names.
void PrintError(CliIo& io, const std::string& text);

// How a command writes its picture to output ("-": standard output): the format --format names,
// else the one output's name calls for (OutputFormat). Raises CliUsageError for a picture bound
// for a terminal, as compressors refuse to write binary data there.
SaveOptions OutputOptions(const ParsedArguments& args, const std::string& output, CliIo& io);

// args without the program name: the command and its arguments.
int RunCli(const std::vector<std::string>& args, CliIo& io);
