// Runs nimbrel-cli in-process with captured streams.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "app/cli.h"

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline CliRun RunCliCommand(const std::vector<std::string>& args, const std::string& input = {}) {
  std::istringstream in(input);
  std::ostringstream out, err;
  CliIo io{in, out, err, false};
  CliRun run;
  run.status = RunCli(args, io);
  run.out = out.str();
  run.err = err.str();
  return run;
}
