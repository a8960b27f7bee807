// The save command: writes the picture the draw command last composed to a PNG file the user
// names, with the background grey as its background and transparent colour.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "app/caption_window.h"
#include "app/file_save.h"
#include "platform/picture.h"

class TBitmap;
class TGraphic;

// How a save reaches its file. The window saves PNG to a named file; the command line may ask
// for another registered format and for standard output.
struct SaveOptions {
  TGraphicClass format = nullptr;  // the class that writes the file; nullptr keeps the graphic's
  FileSaveOptions file;
  std::ostream* standardOutput = nullptr;  // when set, the file name "-" writes here
};

// Asks the window for a file name and saves the picture there; a cancelled dialog does nothing.
// Errors propagate to the caller (the window shows them); the existing file is never damaged.
void Button2Click(CaptionWindow& window, const SaveOptions& options = {});

// Encodes graphic (as options.format when set) wholly in memory, then writes it to fileName
// through SaveFileBytes, so an encoder failure touches no file at all.
void SaveGraphic(TGraphic& graphic, const std::string& fileName, const SaveOptions& options = {});

// The bytes the save command writes for picture, for the clipboard and drag and drop.
std::vector<std::uint8_t> CaptionPngBytes(TBitmap& picture);
