// nimbrel-cli convert: re-encodes between BMP and PNG through our own codecs.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/cli.h"

class TVynCustomDIB;

// The image class for a file name's extension: TUxPNG for .png, TVynCustomDIB for .bmp (any
// case); raises CliUsageError for anything else.
std::unique_ptr<TVynCustomDIB> ImageForFile(const std::string& fileName);
// Loads in, then writes out in the format of its extension (replacing out only once complete).
void ConvertImageFile(const std::string& in, const std::string& out);

extern const char kConvertHelp[];
int RunConvert(const std::vector<std::string>& args, CliIo& io);
