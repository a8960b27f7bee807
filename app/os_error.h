// The platform's file errors with the operating system's reason attached. The message stays the
// platform's own text, which the window shows as it is; the command line adds the reason
// ("ファイル out/x.png を作成できません: Permission denied").
#pragma once

#include <exception>
#include <string>

#include "platform/exception.h"

// The errno value behind a failure.
class OsReason {
 public:
  explicit OsReason(int error) : error_(error) {}
  virtual ~OsReason() = default;
  int Error() const { return error_; }

 private:
  int error_;
};

template <class Base>
class WithOsReason : public Base, public OsReason {
 public:
  WithOsReason(const Base& error, int reason) : Base(error), OsReason(reason) {}
};

// The platform's errors, each with the reason error.
[[noreturn]] void FileCreateError(const std::string& utf8FileName, int error);
[[noreturn]] void FileOpenError(const std::string& utf8FileName, int error);
[[noreturn]] void WriteError(int error);

// The message of e, followed by ": " and the operating system's text when it carries a reason.
std::string ErrorText(const std::exception& e);
