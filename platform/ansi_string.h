// AnsiString: a byte string in code page 932 (Shift_JIS), where a character is one or two bytes.
// Conversions to and from UTF-8 / UTF-16 happen only at the edges (toolkit, command line, fonts).
#pragma once

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>

class AnsiString {
 public:
  AnsiString() = default;
  // Raw code page 932 bytes; an ASCII literal is already such a string.
  AnsiString(const char* bytes) : bytes_(bytes ? bytes : "") {}
  explicit AnsiString(std::string bytes) : bytes_(std::move(bytes)) {}
  AnsiString(const char* bytes, std::size_t length) : bytes_(bytes, length) {}

  // Convert from UTF-8 / UTF-16. A character without a code page 932 form raises EConvertError
  // naming it; malformed input raises EConvertError too.
  static AnsiString FromUtf8(std::string_view utf8);
  static AnsiString FromUtf16(std::u16string_view utf16);
  // As FromUtf8, but characters without a code page 932 form become '?': for messages only.
  static AnsiString FromUtf8Lossy(std::string_view utf8);

  // Convert to UTF-8 / UTF-16. Bytes that are not valid code page 932 raise EConvertError.
  std::string ToUtf8() const;
  std::u16string ToUtf16() const;

  const std::string& bytes() const { return bytes_; }
  std::string& bytes() { return bytes_; }
  const char* c_str() const { return bytes_.c_str(); }
  const char* data() const { return bytes_.data(); }
  int Length() const { return static_cast<int>(bytes_.size()); }
  std::size_t size() const { return bytes_.size(); }
  bool IsEmpty() const { return bytes_.empty(); }

  AnsiString& operator+=(const AnsiString& other) {
    bytes_ += other.bytes_;
    return *this;
  }
  friend AnsiString operator+(AnsiString a, const AnsiString& b) { return a += b; }
  friend bool operator==(const AnsiString&, const AnsiString&) = default;
  friend auto operator<=>(const AnsiString&, const AnsiString&) = default;

 private:
  std::string bytes_;
};

// True for a byte that starts a double-byte character in code page 932.
constexpr bool IsLeadByte(unsigned char b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// UTF-8 → code page 932 for text the program itself writes (messages, captions).
inline AnsiString operator""_sj(const char* utf8, std::size_t length) {
  return AnsiString::FromUtf8(std::string_view(utf8, length));
}
