// nimbrel-cli: the palette-display flag as the window sets it at start-up, then the command. The
// commands create their image classes directly, so no picture format needs registering.
#include <unistd.h>

#include <iostream>

#include "app/cli.h"
#include "image/color_tables.h"

int main(int argc, char** argv) {
  InitPaletteDisplayFlag();
  std::ios::sync_with_stdio(false);
  CliIo io{std::cin, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0};
  const int status = RunCli(std::vector<std::string>(argv + 1, argv + argc), io);
  std::cout.flush();
  return status;
}
