// nimbrel-cli: the palette-display flag as the window sets it at start-up, then the command,
// which registers the picture formats it reads and writes for as long as it runs.
#include <unistd.h>

#include <cerrno>
#include <iostream>

#include "app/cli.h"
#include "app/os_error.h"
#include "image/color_tables.h"

int main(int argc, char** argv) {
  InitPaletteDisplayFlag();
  std::ios::sync_with_stdio(false);
  CliIo io{std::cin, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0,
           ::isatty(STDOUT_FILENO) != 0};
  const int status = RunCli(std::vector<std::string>(argv + 1, argv + argc), io);
  errno = 0;
  if (std::cout.flush() || status != kExitOk) return status;
  // A report that did not reach its reader (a full disk, a closed pipe) is a failure.
  try {
    WriteError(errno);
  } catch (const std::exception& e) {
    PrintError(io, ErrorText(e));
  }
  return kExitFailed;
}
