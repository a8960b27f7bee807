#include "platform/exception.h"

#include "platform/code_page.h"

namespace {

// The UTF-8 form of a message for what(); bytes that do not convert are kept as they are.
std::string ToUtf8Text(const AnsiString& message) {
  try {
    Converter& converter = Cp932ToUtf8();
    if (!converter.IsOpen()) return message.bytes();
    bool converted = true;
    std::string text = converter.Run(message.bytes(), [&](std::size_t, std::string&) {
      converted = false;
      return std::size_t(0);
    });
    return converted ? text : message.bytes();
  } catch (const std::exception&) {
    return message.bytes();
  }
}

// A message written in UTF-8 source text in code page 932, '?' standing for what it lacks. The
// platform's errors build their messages with this rather than AnsiString's conversions, which
// raise exceptions of their own.
AnsiString MessageText(std::string_view utf8) {
  Converter& converter = Utf8ToCp932();
  if (!converter.IsOpen()) return AnsiString(std::string(utf8));
  return AnsiString(Utf8ToCp932Lossy(converter, utf8));
}

}  // namespace

Exception::Exception(AnsiString message)
    : message_(std::move(message)), utf8_(ToUtf8Text(message_)) {}

Exception Exception::FromUtf8(std::string_view utf8) {
  return Exception(MessageText(utf8));
}

void OutOfMemoryError() {
  throw EOutOfMemory(MessageText("メモリが不足しています"));
}

void ReadError() {
  throw EReadError(MessageText("ストリームの読み込みエラー"));
}

void WriteError() {
  throw EWriteError(MessageText("ストリームの書き込みエラー"));
}

void FileCreateError(const std::string& utf8FileName) {
  throw EFCreateError(MessageText("ファイル " + utf8FileName + " を作成できません"));
}

void FileOpenError(const std::string& utf8FileName) {
  throw EFOpenError(MessageText("ファイル " + utf8FileName + " を開けません"));
}

void AssignError(const char* sourceClass, const char* targetClass) {
  throw EConvertError(
      MessageText(std::string(sourceClass) + " を " + targetClass + " に代入できません"));
}
