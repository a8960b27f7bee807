// The save command: writes the picture the draw command last composed to a PNG file the user
// names, with the background grey as its background and transparent colour.
#pragma once

#include <cstdint>
#include <vector>

#include "app/caption_window.h"
#include "app/replacing_file.h"

class TBitmap;

// Asks the window for a file name and saves the picture there; a cancelled dialog does nothing.
// Errors propagate to the caller (the window shows them); the existing file is never damaged.
void Button2Click(CaptionWindow& window, FileSync sync = FileSync::kEach);

// The bytes the save command writes for picture, for the clipboard and drag and drop.
std::vector<std::uint8_t> CaptionPngBytes(TBitmap& picture);
