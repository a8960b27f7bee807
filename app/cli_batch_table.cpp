#include "app/cli_batch_table.h"

#include <algorithm>
#include <cctype>

#include "app/cli_formats.h"
#include "app/cli_options.h"

namespace {

constexpr std::size_t kFieldCount = 6;

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(
        line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

std::string ExtensionFor(TGraphicClass format) {
  std::string extension(1, '.');
  for (const char c : FormatLabel(format)) extension += char(std::tolower((unsigned char)c));
  return extension;
}

}  // namespace

std::string UnescapeField(const std::string& field) {
  std::string text;
  text.reserve(field.size());
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 1 < field.size()) {
      const char next = field[i + 1];
      if (next == 'n' || next == 't' || next == '\\') {
        text += next == 'n' ? '\n' : next == 't' ? '\t' : '\\';
        ++i;
        continue;
      }
    }
    text += field[i];
  }
  return text;
}

std::vector<BatchRow> ParseBatchTable(const std::string& text) {
  std::vector<BatchRow> rows;
  std::size_t start = 0;
  for (int lineNumber = 1; start < text.size(); ++lineNumber) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') continue;

    std::vector<std::string> fields = SplitTabs(line);
    fields.resize(std::max(fields.size(), kFieldCount));
    BatchRow row;
    row.line = lineNumber;
    row.fileName = fields[0];
    row.title = fields[1];
    row.secondLine = fields[2];
    row.description = UnescapeField(fields[3]);
    row.textColour = fields[4];
    row.outlineColour = fields[5];
    rows.push_back(std::move(row));
  }
  return rows;
}

BatchOutput RowOutput(const std::string& fileName, TGraphicClass formatOption) {
  if (fileName.empty()) throw CliUsageError("no file name");
  if (fileName.find('/') != std::string::npos || fileName.find('\0') != std::string::npos ||
      fileName == "." || fileName == "..")
    throw CliUsageError("the file name must be a plain name without folders");
  if (ExtensionOf(fileName).empty()) {
    const TGraphicClass format = OutputFormat(fileName, formatOption);
    return {fileName + ExtensionFor(format), format};
  }
  // The row's messages name the file already.
  const TGraphicClass format = formatOption ? formatOption : FormatNamed(ExtensionOf(fileName));
  if (format == nullptr)
    throw CliUsageError(
        std::string("cannot tell the format: name it .png or .bmp, or give --format ") +
        kFormatNames);
  return {fileName, format};
}
