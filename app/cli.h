// nimbrel-cli: the composer and the codecs without a window.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

struct CliIo {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
  bool errIsTerminal = false;  // progress lines only on a terminal
};

// Exit codes: 0 done, 1 the work failed, 2 the arguments or the input were wrong.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// args without the program name: the command and its arguments.
int RunCli(const std::vector<std::string>& args, CliIo& io);
