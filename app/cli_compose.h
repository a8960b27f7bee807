// nimbrel-cli compose: one caption from arguments, drawn and saved by the window's own commands.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "app/cli.h"
#include "app/cli_string_window.h"
#include "app/save_command.h"

struct CaptionInputs {
  AnsiString title;
  AnsiString secondLine;
  std::vector<AnsiString> description;
  COLORREF textColour = clWhite;
  COLORREF outlineColour = clBlack;
};

// UTF-8 text of one input as Shift_JIS; raises CliInputError naming the field and what is wrong:
// malformed UTF-8 (with its byte offset) or a character that has no Shift_JIS form.
AnsiString ConvertInput(const std::string& utf8, const std::string& field);
std::vector<AnsiString> ConvertDescription(const std::string& utf8);

struct ComposeSettings {
  SaveOptions save;
  bool strict = false;  // a caption the window had to cut is a failure, and is not saved
};

// With --strict, the window's notices (a line shortened, lines dropped) fail the caption.
class CaptionCutError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs what the window runs when the user types these inputs and saves: FormCreate, the width
// guard over the description, the draw command, then the save command into outFile. The
// window's messages go to messages; returns how many there were.
int ComposeCaption(const CaptionInputs& inputs, const std::string& outFile,
                   const TStringCaptionWindow::MessageSink& messages,
                   const ComposeSettings& settings = {});

extern const CliCommand kComposeCommand;
