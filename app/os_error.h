// The platform's file errors with the operating system's reason attached. The message stays the
// platform's own text, which the window shows as it is; the command line adds the reason
// ("ファイル out/x.png を作成できません: Permission denied").
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "platform/exception.h"

// The errno value behind a failure, or our own words where no errno says it.
class OsReason {
 public:
  explicit OsReason(int error, std::string text = {}) : error_(error), text_(std::move(text)) {}
  virtual ~OsReason() = default;
  int Error() const { return error_; }
  // The reason as the command line prints it; empty when there is none.
  std::string Text() const;

 private:
  int error_;
  std::string text_;
};

template <class Base>
class WithOsReason : public Base, public OsReason {
 public:
  WithOsReason(const Base& error, int reason, std::string text = {})
      : Base(error), OsReason(reason, std::move(text)) {}
};

// The platform's errors, each with the reason error.
[[noreturn]] void FileCreateError(const std::string& utf8FileName, int error);
// The create error with a reason of ours (a file refused by a rule of the save, not the system).
[[noreturn]] void FileCreateError(const std::string& utf8FileName, const std::string& reason);
[[noreturn]] void FileOpenError(const std::string& utf8FileName, int error);
[[noreturn]] void WriteError(int error);

// The message of e, followed by ": " and the operating system's text when it carries a reason.
std::string ErrorText(const std::exception& e);
// ErrorText(e) led by fileName and ": ", unless the message names the file itself (the
// platform's open and create errors do).
std::string ErrorTextFor(const std::string& fileName, const std::exception& e);
