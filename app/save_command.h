// The save command's encoding and writing: the picture the draw command last composed, as a PNG
// with the background grey as its background and transparent colour, written without damaging
// the file it replaces. TCaptionComposer::Button2Click is the command itself.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

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

// graphic's bytes as format writes them (graphic's own class when format is nullptr), encoded
// wholly in memory so that an encoder failure touches no file at all.
std::vector<std::uint8_t> EncodeGraphic(TGraphic& graphic, TGraphicClass format = nullptr);

// Writes bytes to fileName through SaveFileBytes, or to options.standardOutput for "-".
void WriteOutput(std::string_view bytes, const std::string& fileName, const SaveOptions& options);

// EncodeGraphic as options.format, then WriteOutput.
void SaveGraphic(TGraphic& graphic, const std::string& fileName, const SaveOptions& options = {});

// The bytes the save command writes for picture: PNG, or the registered class format names.
// The clipboard and drag and drop take the same PNG.
std::vector<std::uint8_t> CaptionBytes(TBitmap& picture, TGraphicClass format = nullptr);
