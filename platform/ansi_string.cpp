#include "platform/ansi_string.h"

#include <errno.h>
#include <iconv.h>

#include <cstdio>
#include <string>

#include "platform/exception.h"

namespace {

// Code page 932, not plain Shift_JIS: it has the vendor characters (①, ㈱, …) and keeps
// '\' and '~' as ASCII.
constexpr const char* kCodePage = "CP932";

// One iconv conversion descriptor, closed on every path.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      throw EConvertError(AnsiString(std::string("no converter from ") + from + " to " + to));
    }
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts input; on an unconvertible or malformed sequence calls onBad with the offset of
  // the offending input bytes, which returns how many to skip (0 stops) or throws.
  template <typename OnBad>
  std::string Run(std::string_view input, OnBad onBad) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // a throw may have left a state behind
    std::string out;
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
      out.append(buffer, outPtr - buffer);
      if (rc != std::size_t(-1)) continue;
      if (errno == E2BIG) continue;
      const std::size_t offset = input.size() - inLeft;
      const std::size_t skip = onBad(offset, out);
      if (skip == 0) break;
      in += std::min(skip, inLeft);
      inLeft -= std::min(skip, inLeft);
    }
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    return out;
  }

 private:
  iconv_t cd_;
};

// Opening a converter costs more than most conversions, and composing converts every line
// several times; each thread keeps its own, since an iconv descriptor is not shareable.
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

// Length of the UTF-8 sequence that starts with byte b (1 for a stray byte).
std::size_t Utf8SequenceLength(unsigned char b) {
  if (b >= 0xF0) return 4;
  if (b >= 0xE0) return 3;
  if (b >= 0xC0) return 2;
  return 1;
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
  Converter& converter = Utf8ToCp932();
  return AnsiString(converter.Run(utf8, [&](std::size_t offset, std::string&) -> std::size_t {
    throw EConvertError(
        AnsiString::FromUtf8Lossy("文字 " + Describe(utf8, offset) + " は Shift_JIS で表せません"));
  }));
}

AnsiString AnsiString::FromUtf8Lossy(std::string_view utf8) {
  Converter& converter = Utf8ToCp932();
  return AnsiString(converter.Run(utf8, [&](std::size_t offset, std::string& out) {
    out += '?';
    return Utf8SequenceLength(utf8[offset]);
  }));
}

AnsiString AnsiString::FromUtf16(std::u16string_view utf16) {
  Converter& converter = Utf16ToUtf8();
  const std::string_view raw(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
  const std::string utf8 = converter.Run(raw, [](std::size_t, std::string&) -> std::size_t {
    throw EConvertError(AnsiString("invalid UTF-16 text"));
  });
  return FromUtf8(utf8);
}

std::string AnsiString::ToUtf8() const {
  Converter& converter = Cp932ToUtf8();
  return converter.Run(bytes_, [&](std::size_t offset, std::string&) -> std::size_t {
    throw EConvertError(AnsiString("invalid Shift_JIS byte " +
                                   HexByte(static_cast<unsigned char>(bytes_[offset]))));
  });
}

std::u16string AnsiString::ToUtf16() const {
  const std::string utf8 = ToUtf8();
  Converter& converter = Utf8ToUtf16();
  const std::string raw = converter.Run(utf8, [](std::size_t, std::string&) -> std::size_t {
    throw EConvertError(AnsiString("invalid UTF-8 text"));
  });
  std::u16string out(raw.size() / 2, u'\0');
  for (std::size_t i = 0; i < out.size(); ++i) {
    out[i] = char16_t(static_cast<unsigned char>(raw[2 * i]) |
                      (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
  }
  return out;
}
