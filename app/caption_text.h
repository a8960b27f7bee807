// Caption texts as they arrive from outside (UTF-8 arguments, tables, requests) turned into the
// Shift_JIS text the composer draws. Every front end converts through here, so a text refused
// by one is refused by all, with the same words.
#pragma once

#include <string>
#include <vector>

#include "app/cli_options.h"
#include "platform/ansi_string.h"

// A caption text that cannot be drawn: malformed UTF-8, or a character with no Shift_JIS form.
// field is the input at fault ("title", "second line", "description"); line counts from 1 in a
// description and is 0 elsewhere.
class CaptionTextError : public CliInputError {
 public:
  CaptionTextError(const std::string& message, std::string field, int line = 0)
      : CliInputError(message), field_(std::move(field)), line_(line) {}
  const std::string& Field() const { return field_; }
  int Line() const { return line_; }

 private:
  std::string field_;
  int line_;
};

// UTF-8 text of one input as Shift_JIS; raises CaptionTextError naming the field and what is
// wrong: malformed UTF-8 (with its byte offset) or a character that has no Shift_JIS form.
AnsiString ConvertInput(const std::string& utf8, const std::string& field);
// A description's lines, split as the memo splits them (SplitDescription), each converted.
std::vector<AnsiString> ConvertDescription(const std::string& utf8);
