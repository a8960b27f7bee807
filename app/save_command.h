// The save command: writes the picture the draw command last composed to a PNG file the user
// names, with the background grey as its background and transparent colour.
#pragma once

#include "app/caption_window.h"
#include "app/replacing_file.h"

// Asks the window for a file name and saves the picture there; a cancelled dialog does nothing.
// Errors propagate to the caller (the window shows them); the existing file is never damaged.
void Button2Click(CaptionWindow& window, FileSync sync = FileSync::kEach);
