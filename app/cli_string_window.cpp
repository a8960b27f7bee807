#include "app/cli_string_window.h"

#include <algorithm>

int TStringCaptionWindow::DescriptionLineCount() const {
  int count = static_cast<int>(Description.size());
  // As in the memo, an empty last line is not a line of the description.
  if (count > 0 && Description.back().IsEmpty()) --count;
  return count;
}

AnsiString TStringCaptionWindow::DescriptionLine(int index) const {
  return Description.at(static_cast<std::size_t>(index));
}

void TStringCaptionWindow::SetDescriptionLine(int index, const AnsiString& text) {
  Description.at(static_cast<std::size_t>(index)) = text;
}

void TStringCaptionWindow::DeleteDescriptionLine(int index) {
  if (index < 0 || index >= static_cast<int>(Description.size())) return;
  Description.erase(Description.begin() + index);
}

void TStringCaptionWindow::DeleteDescriptionLinesFrom(int index) {
  const int count = DescriptionLineCount();
  if (index < 0 || index >= count) return;
  Description.erase(Description.begin() + index, Description.begin() + count);
}

void TStringCaptionWindow::ShowMessage(const AnsiString& text) {
  if (messages_) messages_(text);
}

std::vector<std::string> SplitDescription(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (end == text.size()) return lines;
    start = end + 1;
  }
}

std::string MessageUtf8(const AnsiString& text) {
  try {
    return text.ToUtf8();
  } catch (const std::exception&) {
    return text.bytes();
  }
}
