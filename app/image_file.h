// Reading a picture file by the reader its content calls for, for every command that reads one.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

#include "platform/exception.h"
#include "platform/picture.h"
#include "platform/stream.h"

class TVynCustomDIB;

// A picture file's bytes, held once, and the class whose reader they call for.
class ImageInput {
 public:
  // Reads fileName ("-": in). Raises EFOpenError when the file cannot be read, and a plain error
  // when no format of ours recognises it.
  ImageInput(const std::string& fileName, std::istream& in);

  std::string_view Bytes() const;
  TGraphicClass Format() const { return format_; }
  bool IsPng() const;
  // The bytes as a stream at its start, for a reader.
  TMemoryStream& Stream();

  // The image as the format's reader reads it, pixels and all.
  std::unique_ptr<TVynCustomDIB> Load();
  // Runs read, a reading of these bytes. A read that runs past their end raises the platform's
  // read error; it is passed on with where the file ends as its reason ("file ends at byte 1234
  // inside chunk IDAT").
  template <typename Read>
  auto Explaining(Read read) -> decltype(read()) {
    try {
      return read();
    } catch (const EReadError& e) {
      RaiseWithFileEnd(e);
    }
  }

 private:
  [[noreturn]] void RaiseWithFileEnd(const EReadError& e) const;

  TMemoryStream stream_;
  TGraphicClass format_ = nullptr;
};

// ImageInput(fileName, in).Load(), for the commands that need the pixels.
std::unique_ptr<TVynCustomDIB> LoadImageFile(const std::string& fileName, std::istream& in);
