// One caption from its inputs: the call the command line, the batch and the server share. It
// runs the window's own commands on a window held in memory, so every front end draws, trims
// and encodes exactly as the window does; none of them composes on its own.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ansi_string.h"
#include "platform/picture.h"
#include "platform/win_types.h"

struct CaptionInputs {
  AnsiString title;
  AnsiString secondLine;
  std::vector<AnsiString> description;  // one entry per memo line (SplitDescription)
  COLORREF textColour = clWhite;
  COLORREF outlineColour = clBlack;
};

struct ComposedCaption {
  std::vector<std::uint8_t> bytes;      // the picture as the save command writes it
  std::vector<AnsiString> notices;      // the window's messages, in the order it showed them
  std::vector<AnsiString> description;  // the description as drawn: shortened, surplus dropped
  // The window had to cut the description (a line shortened or lines dropped).
  bool Cut() const { return !notices.empty(); }
};

// What the window runs when the user types these inputs and saves: FormCreate, the width guard
// over the description, the draw command, then the save command's encoding, as PNG or as the
// registered class format names.
ComposedCaption ComposeCaption(const CaptionInputs& inputs, TGraphicClass format = nullptr);
