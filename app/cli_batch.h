// nimbrel-cli batch: many captions from a tab-separated table, composed on all cores.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/cli.h"
#include "platform/win_types.h"

// One row of the table, as UTF-8 text with the escapes of the description resolved.
struct BatchRow {
  int line = 0;  // line number in the table, for messages
  std::string fileName;
  std::string title;
  std::string secondLine;
  std::string description;
  std::string textColour;     // empty: the batch's default
  std::string outlineColour;  // empty: the batch's default
};

// The rows of a table: one per line, tab-separated fields; blank lines and lines starting with
// '#' are skipped, a carriage return at a line's end is dropped.
std::vector<BatchRow> ParseBatchTable(const std::string& text);
// Resolves \n (line break), \t (tab) and \\ (backslash); any other backslash stays as it is.
std::string UnescapeField(const std::string& field);
// The file a row writes, inside outDir; raises CliUsageError for a name that is empty, holds a
// folder separator or is "." or "..". A name without an extension gets ".png".
std::string BatchOutputName(const std::string& fileName);

struct BatchOutcome {
  bool ok = false;
  std::string outputName;
  std::string error;                  // why the row failed
  std::vector<std::string> messages;  // the window's messages for this row, UTF-8
};

struct BatchSettings {
  std::string outDir;
  int jobs = 1;
  COLORREF textColour = clWhite;
  COLORREF outlineColour = clBlack;
  // Called on the worker's thread after each row (under the batch's lock), in completion order.
  std::function<void(std::size_t index, const BatchOutcome&, std::size_t done)> onRowDone;
};

// Composes every row on settings.jobs threads; each thread has its own window, composer and
// codecs. Returns one outcome per row, in table order.
std::vector<BatchOutcome> RunBatchRows(const std::vector<BatchRow>& rows,
                                       const BatchSettings& settings);

extern const char kBatchHelp[];
int RunBatch(const std::vector<std::string>& args, CliIo& io);
