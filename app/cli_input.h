// What the commands read: whole files or standard input ("-"), and text files in UTF-8 or in
// code page 932, checked before any of their text is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// More than the largest picture the readers accept (1 GiB of pixels) with room for its
// container; an endless input such as /dev/zero stops here instead of filling memory.
constexpr std::size_t kMaxInputBytes = std::size_t(1) << 31;

// The bytes of fileName, or of in for "-". Raises EFOpenError with the system's reason when
// the file cannot be opened or read or holds more than kMaxInputBytes.
std::vector<std::uint8_t> ReadInput(const std::string& fileName, std::istream& in);
inline std::string_view AsChars(const std::vector<std::uint8_t>& bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

enum class TextEncoding { kUtf8, kCp932 };

// "utf-8" (or "utf8"), "cp932" (or "sjis", "shift_jis", "shift-jis"), in any case; raises
// CliUsageError for anything else.
TextEncoding EncodingOption(const std::string& name);

// A text file's bytes as UTF-8. A UTF-8 byte-order mark is skipped. Malformed input raises
// CliInputError naming the file (name, as InputName gives it), the line and the byte offset in
// the file: "desc.txt:3: invalid UTF-8 at byte 41", with a hint to give --encoding cp932 when the
// line reads as Shift_JIS.
std::string DecodeText(std::string_view bytes, TextEncoding encoding, const std::string& name);

// A file's name as messages give it: "standard input" for "-".
std::string InputName(const std::string& fileName);
