// nimbrel-cli compose: one caption from arguments, drawn and saved by the window's own commands.
#pragma once

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

// UTF-8 text of one input as Shift_JIS; raises EConvertError whose message names the field and
// the character that has no Shift_JIS form.
AnsiString ConvertInput(const std::string& utf8, const std::string& field);
std::vector<AnsiString> ConvertDescription(const std::string& utf8);

// Runs what the window runs when the user types these inputs and saves: FormCreate, the width
// guard over the description, the draw command, then the save command into outFile. The
// window's messages go to messages.
void ComposeCaption(const CaptionInputs& inputs, const std::string& outFile,
                    const TStringCaptionWindow::MessageSink& messages,
                    const SaveOptions& options = {});

extern const char kComposeHelp[];
int RunCompose(const std::vector<std::string>& args, CliIo& io);
