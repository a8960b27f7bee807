#include "platform/code_page.h"

namespace {

// Code page 932, not plain Shift_JIS: it has the vendor characters (①, ㈱, …) and keeps
// '\' and '~' as ASCII.
constexpr const char* kCodePage = "CP932";

}  // namespace

Converter& Utf8ToCp932() {
  thread_local Converter converter(kCodePage, "UTF-8");
  return converter;
}

Converter& Cp932ToUtf8() {
  thread_local Converter converter("UTF-8", kCodePage);
  return converter;
}

Converter& Utf16ToUtf8() {
  thread_local Converter converter("UTF-8", "UTF-16LE");
  return converter;
}

Converter& Utf8ToUtf16() {
  thread_local Converter converter("UTF-16LE", "UTF-8");
  return converter;
}

std::size_t Utf8SequenceLength(unsigned char b) {
  if (b >= 0xF0) return 4;
  if (b >= 0xE0) return 3;
  if (b >= 0xC0) return 2;
  return 1;
}

std::string Utf8ToCp932Lossy(Converter& converter, std::string_view utf8) {
  return converter.Run(utf8, [&](std::size_t offset, std::string& out) {
    out += '?';
    return Utf8SequenceLength(utf8[offset]);
  });
}
