// TUxPNG as a picture format of the framework: files with extension "PNG" and clipboard data
// in CF_DIB.
#pragma once

#include "platform/picture.h"

// The class entry under which TUxPNG is registered.
TGraphicClass UxPNGGraphicClass();

// Registers TUxPNG for CF_DIB and then for the extension "PNG" ("Portable Network Graphics").
void RegisterPngFormat();
// Removes both entries of TUxPNG.
void UnregisterPngFormat();

// Holds the registration for its lifetime: made once at start-up before the main window,
// dropped at program end.
class PngFormatRegistration {
 public:
  PngFormatRegistration() { RegisterPngFormat(); }
  ~PngFormatRegistration() { UnregisterPngFormat(); }
  PngFormatRegistration(const PngFormatRegistration&) = delete;
  PngFormatRegistration& operator=(const PngFormatRegistration&) = delete;
};
