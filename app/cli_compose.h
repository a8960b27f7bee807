// nimbrel-cli compose: one caption from arguments, drawn and saved by the window's own commands.
#pragma once

#include <stdexcept>

#include "app/cli.h"

// With --strict, the window's notices (a line shortened, lines dropped) fail the caption.
class CaptionCutError : public std::runtime_error {
 public:
  CaptionCutError();
};

extern const CliCommand kComposeCommand;
