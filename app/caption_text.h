// Caption texts as they arrive from outside (UTF-8 arguments, tables, requests) turned into the
// Shift_JIS text the composer draws. Every front end converts through here, so a text refused
// by one is refused by all, with the same words.
#pragma once

#include <string>
#include <vector>

#include "app/cli_options.h"
#include "platform/ansi_string.h"

// A character that has no Shift_JIS form, and the description line it stands on (0 outside a
// description).
struct UnencodableCharacter {
  char32_t code = 0;
  int line = 0;
  friend bool operator==(const UnencodableCharacter&, const UnencodableCharacter&) = default;
};

// What is wrong with one line of a text: "invalid UTF-8 at byte 2", "文字 U+1F600 は Shift_JIS
// で表せません". line counts from 1 in a description and is 0 elsewhere.
struct CaptionTextProblem {
  int line = 0;
  std::string reason;
};

// A caption text that cannot be drawn: malformed UTF-8, a control character in a one-line
// field, or characters with no Shift_JIS form, each of them named. field is the input at fault
// ("title", "second line", "description"); Line() is the first line at fault.
class CaptionTextError : public CliInputError {
 public:
  CaptionTextError(std::string field, std::vector<CaptionTextProblem> problems,
                   std::vector<UnencodableCharacter> characters = {});
  const std::string& Field() const { return field_; }
  int Line() const { return problems_.front().line; }
  // Every line at fault, in order.
  const std::vector<CaptionTextProblem>& Problems() const { return problems_; }
  // Every character without a Shift_JIS form, once per line it stands on, in text order.
  const std::vector<UnencodableCharacter>& Characters() const { return characters_; }

 private:
  std::string field_;
  std::vector<CaptionTextProblem> problems_;
  std::vector<UnencodableCharacter> characters_;
};

// UTF-8 text of one single-line input (the title, the second line) as Shift_JIS; raises
// CaptionTextError naming the field and what is wrong: malformed UTF-8 (with its byte offset), a
// tab, line break or other control character, or the characters that have no Shift_JIS form.
AnsiString ConvertInput(const std::string& utf8, const std::string& field);
// A description's lines, split as the memo splits them (SplitDescription), each converted; every
// line at fault is named.
std::vector<AnsiString> ConvertDescription(const std::string& utf8);
