// nimbrel-cli info: what our PNG and BMP readers make of files.
#pragma once

#include <iosfwd>
#include <string>

#include "app/cli.h"

class TVynCustomDIB;

// A report of the image as loaded, one "name: value" line per property. Text from the file is
// escaped for the terminal.
void DescribeImage(TVynCustomDIB& image, std::ostream& out);
// The same facts as one JSON object on one line, with fileName as "file".
void DescribeImageJson(TVynCustomDIB& image, const std::string& fileName, std::ostream& out);

extern const CliCommand kInfoCommand;
