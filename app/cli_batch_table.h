// The table nimbrel-cli batch reads: one caption per line in tab-separated fields, and the file
// each row writes.
#pragma once

#include <string>
#include <vector>

#include "platform/picture.h"

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

// The rows of a table (UTF-8, its byte-order mark already gone): one per line, tab-separated
// fields; blank lines and lines starting with '#' are skipped, a carriage return at a line's end
// is dropped.
std::vector<BatchRow> ParseBatchTable(const std::string& text);
// Resolves \n (line break), \t (tab) and \\ (backslash); any other backslash stays as it is.
std::string UnescapeField(const std::string& field);

// The file a row writes inside the output folder, and the class that writes it.
struct BatchOutput {
  std::string name;
  TGraphicClass format = nullptr;
};
// The format is formatOption when given, else the name's extension (.png or .bmp); a name
// without an extension gets its format's (.png without --format). Raises CliUsageError for a
// name that is empty, holds a folder separator or is "." or "..", or whose extension names no
// format while no formatOption is given.
BatchOutput RowOutput(const std::string& fileName, TGraphicClass formatOption);
