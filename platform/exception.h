// The platform's exception hierarchy. Every error of the system is an Exception whose message
// is an AnsiString; what() gives the same text as UTF-8 for logs and the command line.
#pragma once

#include <exception>
#include <string>

#include "platform/ansi_string.h"

class Exception : public std::exception {
 public:
  explicit Exception(AnsiString message);
  // A message written in UTF-8 source text; characters without a Shift_JIS form become '?'.
  static Exception FromUtf8(std::string_view utf8);

  const AnsiString& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  AnsiString message_;
  std::string utf8_;
};

// Declares an exception class that adds nothing to its base.
#define NIMBREL_DECLARE_EXCEPTION(Name, Base) \
  class Name : public Base {                  \
   public:                                    \
    using Base::Base;                         \
    explicit Name(const Base& e) : Base(e) {} \
  }

NIMBREL_DECLARE_EXCEPTION(EOutOfMemory, Exception);
NIMBREL_DECLARE_EXCEPTION(EStreamError, Exception);
NIMBREL_DECLARE_EXCEPTION(EReadError, EStreamError);
NIMBREL_DECLARE_EXCEPTION(EWriteError, EStreamError);
NIMBREL_DECLARE_EXCEPTION(EFCreateError, EStreamError);
NIMBREL_DECLARE_EXCEPTION(EFOpenError, EStreamError);
NIMBREL_DECLARE_EXCEPTION(EConvertError, Exception);

// The platform's own errors, with the platform's texts.
[[noreturn]] void OutOfMemoryError();
[[noreturn]] void ReadError();
[[noreturn]] void WriteError();
[[noreturn]] void FileCreateError(const std::string& utf8FileName);
[[noreturn]] void FileOpenError(const std::string& utf8FileName);
[[noreturn]] void AssignError(const char* sourceClass, const char* targetClass);
