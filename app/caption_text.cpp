#include "app/caption_text.h"

#include "app/cli_string_window.h"
#include "app/utf8_text.h"
#include "platform/exception.h"

namespace {

AnsiString Convert(const std::string& utf8, const std::string& name, const std::string& field,
                   int line) {
  if (const auto invalid = FindInvalidUtf8(utf8))
    throw CaptionTextError(name + ": invalid UTF-8 (byte offset " + std::to_string(*invalid) + ")",
                           field, line);
  try {
    return AnsiString::FromUtf8(utf8);
  } catch (const EConvertError& e) {
    throw CaptionTextError(name + ": " + e.what(), field, line);
  }
}

}  // namespace

AnsiString ConvertInput(const std::string& utf8, const std::string& field) {
  return Convert(utf8, field, field, 0);
}

std::vector<AnsiString> ConvertDescription(const std::string& utf8) {
  std::vector<AnsiString> lines;
  const std::vector<std::string> split = SplitDescription(utf8);
  for (std::size_t i = 0; i < split.size(); ++i) {
    const int line = int(i + 1);
    lines.push_back(
        Convert(split[i], "description line " + std::to_string(line), "description", line));
  }
  return lines;
}
