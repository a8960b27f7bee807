// nimbrel-cli convert: re-encodes between BMP and PNG through our own codecs.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

#include "app/cli.h"

class TVynCustomDIB;

// An image read from fileName ("-": in), by the reader its first bytes call for. Raises
// EFOpenError when the file cannot be read, the reader's own error when the content is bad, and
// a plain error when no format of ours recognises it.
std::unique_ptr<TVynCustomDIB> LoadImageFile(const std::string& fileName, std::istream& in);

extern const CliCommand kConvertCommand;
