// nimbrel-cli batch: many captions from a tab-separated table, composed on all cores.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/cli_batch_table.h"
#include "platform/win_types.h"

struct BatchOutcome {
  bool ok = false;
  bool trimmed = false;  // the window cut the caption: a line shortened or lines dropped
  std::string outputName;
  std::string error;                  // why the row failed
  std::vector<std::string> messages;  // the window's messages for this row, UTF-8
};

struct BatchSettings {
  std::string outDir;
  int jobs = 1;
  COLORREF textColour = clWhite;
  COLORREF outlineColour = clBlack;
  TGraphicClass format = nullptr;  // --format: every row's format, whatever its name
  bool strict = false;             // a row the window had to cut fails
  // Called on the worker's thread after each row (under the batch's lock), in completion order.
  std::function<void(std::size_t index, const BatchOutcome&, std::size_t done)> onRowDone;
};

// Composes every row on settings.jobs threads; each thread has its own window, composer and
// codecs. Returns one outcome per row, in table order.
std::vector<BatchOutcome> RunBatchRows(const std::vector<BatchRow>& rows,
                                       const BatchSettings& settings);

extern const CliCommand kBatchCommand;
