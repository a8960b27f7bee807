// nimbrel-cli info: what our PNG reader (or BMP reader, for a .bmp file) makes of a file.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "app/cli.h"

class TVynCustomDIB;

// A report of the image as loaded, one "name: value" line per property.
void DescribeImage(TVynCustomDIB& image, std::ostream& out);

extern const char kInfoHelp[];
int RunInfo(const std::vector<std::string>& args, CliIo& io);
