#include "app/os_error.h"

#include <system_error>

#include "app/utf8_text.h"

// Each raises the platform's error, so the text stays in one place, and passes it on with the
// reason attached. A name is abridged first: a megabyte name is no use in a message.

void FileCreateError(const std::string& utf8FileName, int error) {
  try {
    FileCreateError(Abridged(utf8FileName));
  } catch (const EFCreateError& e) {
    throw WithOsReason<EFCreateError>(e, error);
  }
}

void FileCreateError(const std::string& utf8FileName, const std::string& reason) {
  try {
    FileCreateError(Abridged(utf8FileName));
  } catch (const EFCreateError& e) {
    throw WithOsReason<EFCreateError>(e, 0, reason);
  }
}

void FileOpenError(const std::string& utf8FileName, int error) {
  try {
    FileOpenError(Abridged(utf8FileName));
  } catch (const EFOpenError& e) {
    throw WithOsReason<EFOpenError>(e, error);
  }
}

void WriteError(int error) {
  try {
    WriteError();
  } catch (const EWriteError& e) {
    throw WithOsReason<EWriteError>(e, error);
  }
}

std::string OsReason::Text() const {
  if (!text_.empty()) return text_;
  return error_ != 0 ? std::generic_category().message(error_) : std::string();
}

std::string ErrorText(const std::exception& e) {
  std::string text = e.what();
  if (const auto* reason = dynamic_cast<const OsReason*>(&e); reason && !reason->Text().empty())
    text += ": " + reason->Text();
  return text;
}

std::string ErrorTextFor(const std::string& fileName, const std::exception& e) {
  if (fileName.empty() || dynamic_cast<const EFOpenError*>(&e) ||
      dynamic_cast<const EFCreateError*>(&e))
    return ErrorText(e);
  return Abridged(fileName) + ": " + ErrorText(e);
}
