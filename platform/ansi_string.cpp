#include "platform/ansi_string.h"

#include <cstdio>
#include <string>

#include "platform/byte_order.h"
#include "platform/code_page.h"
#include "platform/exception.h"

namespace {

// The converter, opened: EConvertError when iconv has none between the two encodings.
Converter& Opened(Converter& converter) {
  if (!converter.IsOpen()) {
    throw EConvertError(
        AnsiString(std::string("no converter from ") + converter.From() + " to " + converter.To()));
  }
  return converter;
}

// "U+XXXX" for the UTF-8 sequence at offset, so a message can name a character that the
// message's own code page cannot hold.
std::string Describe(std::string_view utf8, std::size_t offset) {
  const std::size_t n = std::min(Utf8SequenceLength(utf8[offset]), utf8.size() - offset);
  static constexpr unsigned char kLeadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
  char32_t code = static_cast<unsigned char>(utf8[offset]) & kLeadMask[n];
  for (std::size_t i = 1; i < n; ++i) code = (code << 6) | (utf8[offset + i] & 0x3F);
  char text[16];
  std::snprintf(text, sizeof text, "U+%04X", unsigned(code));
  return text;
}

std::string HexByte(unsigned char b) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", b);
  return text;
}

}  // namespace

AnsiString AnsiString::FromUtf8(std::string_view utf8) {
  Converter& converter = Opened(Utf8ToCp932());
  return AnsiString(converter.Run(utf8, [&](std::size_t offset, std::string&) -> std::size_t {
    throw EConvertError(
        AnsiString::FromUtf8Lossy("文字 " + Describe(utf8, offset) + " は Shift_JIS で表せません"));
  }));
}

AnsiString AnsiString::FromUtf8Lossy(std::string_view utf8) {
  return AnsiString(Utf8ToCp932Lossy(Opened(Utf8ToCp932()), utf8));
}

AnsiString AnsiString::FromUtf16(std::u16string_view utf16) {
  Converter& converter = Opened(Utf16ToUtf8());
  const std::string_view raw(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
  const std::string utf8 = converter.Run(raw, [](std::size_t, std::string&) -> std::size_t {
    throw EConvertError(AnsiString("invalid UTF-16 text"));
  });
  return FromUtf8(utf8);
}

std::string AnsiString::ToUtf8() const {
  Converter& converter = Opened(Cp932ToUtf8());
  return converter.Run(bytes_, [&](std::size_t offset, std::string&) -> std::size_t {
    throw EConvertError(AnsiString("invalid Shift_JIS byte " +
                                   HexByte(static_cast<unsigned char>(bytes_[offset]))));
  });
}

std::u16string AnsiString::ToUtf16() const {
  const std::string utf8 = ToUtf8();
  Converter& converter = Opened(Utf8ToUtf16());
  const std::string raw = converter.Run(utf8, [](std::size_t, std::string&) -> std::size_t {
    throw EConvertError(AnsiString("invalid UTF-8 text"));
  });
  std::u16string out(raw.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = char16_t(LoadLE16(reinterpret_cast<const std::uint8_t*>(raw.data()) + 2 * i));
  }
  return out;
}
