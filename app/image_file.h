// Reading a picture file by the reader its content calls for, for every command that reads one.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>

class TVynCustomDIB;

// An image read from fileName ("-": in), by the reader its first bytes call for. Raises
// EFOpenError when the file cannot be read, the reader's own error when the content is bad, and
// a plain error when no format of ours recognises it.
std::unique_ptr<TVynCustomDIB> LoadImageFile(const std::string& fileName, std::istream& in);
