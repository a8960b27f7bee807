// Runs nimbrel-cli in-process with captured streams.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/cli.h"
#include "app/temp_folder.h"

struct CliRun {
  int status = -1;
  std::string out;
  std::string err;
};

// stdoutIsTerminal stands for a terminal as standard output.
inline CliRun RunCliCommand(const std::vector<std::string>& args, const std::string& input = {},
                            bool stdoutIsTerminal = false) {
  std::istringstream in(input);
  std::ostringstream out, err;
  CliIo io{in, out, err, false, stdoutIsTerminal};
  CliRun run;
  run.status = RunCli(args, io);
  run.out = out.str();
  run.err = err.str();
  return run;
}

// A caption written by compose into folder: 8 bits, the grey as colour key, text in two colours.
inline std::string ComposeSample(const TempFolder& folder) {
  const std::string path = folder.File("sample.png");
  const CliRun run = RunCliCommand({"compose", "--title", "変換", "--second", "2026", "-o", path});
  EXPECT_EQ(run.status, 0) << run.err;
  return path;
}
