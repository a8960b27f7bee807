// The picture formats of the command line, PNG and BMP, registered with TPicture's registry for
// as long as a command runs. Inputs are told apart by their first bytes, outputs by their file
// name's extension or by --format.
#pragma once

#include <string>
#include <string_view>

#include "png/png_registration.h"

class CliFormatRegistration {
 public:
  CliFormatRegistration();
  ~CliFormatRegistration();
  CliFormatRegistration(const CliFormatRegistration&) = delete;
  CliFormatRegistration& operator=(const CliFormatRegistration&) = delete;

 private:
  PngFormatRegistration png_;
};

// The names --format takes, for help and messages.
extern const char kFormatNames[];  // "png|bmp"

// The class registered for a format name or extension ("png", ".BMP"); nullptr when none is.
TGraphicClass FormatNamed(const std::string& name);
// The format --format names; raises CliUsageError for any other word.
TGraphicClass FormatOption(const std::string& name);
// The extension of fileName's last part (".png"), or "" when it has none: a name that starts
// with its only dot or ends in a dot has none.
std::string ExtensionOf(const std::string& fileName);
// The class that writes fileName: formatOption when given, else the file's extension; PNG, the
// caption's format, for standard output ("-") and a name without an extension. Raises
// CliUsageError naming the formats for any other extension.
TGraphicClass OutputFormat(const std::string& fileName, TGraphicClass formatOption);
// The class whose signature starts bytes (a PNG may follow a 256-byte leading block, as the
// reader allows); otherwise the class of fileName's extension, so that its own reader reports
// what is wrong; nullptr when neither tells.
TGraphicClass InputFormat(std::string_view bytes, const std::string& fileName);
// "PNG" or "BMP" for a class of ours.
std::string FormatLabel(TGraphicClass format);
