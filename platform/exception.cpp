#include "platform/exception.h"

namespace {

// The UTF-8 form of a message for what(); bytes that do not convert are kept as they are.
std::string ToUtf8Text(const AnsiString& message) {
  try {
    return message.ToUtf8();
  } catch (const std::exception&) {
    return message.bytes();
  }
}

}  // namespace

Exception::Exception(AnsiString message)
    : message_(std::move(message)), utf8_(ToUtf8Text(message_)) {}

Exception Exception::FromUtf8(std::string_view utf8) {
  return Exception(AnsiString::FromUtf8Lossy(utf8));
}

void OutOfMemoryError() {
  throw EOutOfMemory(AnsiString::FromUtf8Lossy("メモリが不足しています"));
}

void ReadError() {
  throw EReadError(AnsiString::FromUtf8Lossy("ストリームの読み込みエラー"));
}

void WriteError() {
  throw EWriteError(AnsiString::FromUtf8Lossy("ストリームの書き込みエラー"));
}

void FileCreateError(const std::string& utf8FileName) {
  throw EFCreateError(AnsiString::FromUtf8Lossy("ファイル " + utf8FileName + " を作成できません"));
}

void FileOpenError(const std::string& utf8FileName) {
  throw EFOpenError(AnsiString::FromUtf8Lossy("ファイル " + utf8FileName + " を開けません"));
}

void AssignError(const char* sourceClass, const char* targetClass) {
  throw EConvertError(AnsiString::FromUtf8Lossy(std::string(sourceClass) + " を " + targetClass +
                                                " に代入できません"));
}
