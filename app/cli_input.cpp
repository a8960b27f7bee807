#include "app/cli_input.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <istream>

#include "app/cli_options.h"
#include "app/file_descriptor.h"
#include "app/os_error.h"
#include "app/utf8_text.h"
#include "platform/ansi_string.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kReadPiece = std::size_t(1) << 16;

std::vector<std::uint8_t> ReadStream(std::istream& in) {
  std::vector<std::uint8_t> bytes;
  char piece[kReadPiece];
  while (in.read(piece, sizeof piece) || in.gcount() > 0) {
    bytes.insert(bytes.end(), piece, piece + in.gcount());
    if (bytes.size() > kMaxInputBytes) FileOpenError(InputName("-"), EFBIG);
  }
  if (in.bad()) FileOpenError(InputName("-"), EIO);
  return bytes;
}

std::vector<std::uint8_t> ReadFile(const std::string& fileName) {
  const FileDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) FileOpenError(fileName, errno);
  std::vector<std::uint8_t> bytes;
  int error = 0;
  for (;;) {
    const std::size_t size = bytes.size();
    bytes.resize(size + kReadPiece);
    const ssize_t n = ::read(fd.Get(), bytes.data() + size, kReadPiece);
    bytes.resize(size + std::size_t(std::max<ssize_t>(n, 0)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n <= 0) break;
    if (bytes.size() > kMaxInputBytes) {
      error = EFBIG;
      break;
    }
  }
  if (error != 0) FileOpenError(fileName, error);
  return bytes;
}

std::string_view LineAround(std::string_view text, std::size_t offset) {
  const std::size_t start = text.rfind('\n', offset);
  const std::size_t begin = start == std::string_view::npos ? 0 : start + 1;
  return text.substr(begin, std::min(text.find('\n', offset), text.size()) - begin);
}

// A Shift_JIS file read as UTF-8 fails on its first double-byte character; the line that failed
// says which encoding was meant.
bool ReadsAsCp932(std::string_view line) {
  try {
    AnsiString(std::string(line)).ToUtf8();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

[[noreturn]] void RejectText(const std::string& name, TextEncoding encoding, std::string_view text,
                             std::size_t offset, std::size_t skipped) {
  const auto line = std::count(text.begin(), text.begin() + std::ptrdiff_t(offset), '\n') + 1;
  std::string message = name + ":" + std::to_string(line) + ": invalid " +
                        (encoding == TextEncoding::kUtf8 ? "UTF-8" : "Shift_JIS") + " at byte " +
                        std::to_string(offset + skipped);
  if (encoding == TextEncoding::kUtf8 && ReadsAsCp932(LineAround(text, offset)))
    message += " (the text reads as Shift_JIS: give --encoding cp932)";
  throw CliInputError(message);
}

// Where code page 932 text first fails to convert. A line feed is never the second byte of a
// double-byte character, so lines convert one by one; within the failing line, character by
// character.
std::size_t FindInvalidCp932(std::string_view text, std::size_t lineStart) {
  const std::size_t lineEnd = std::min(text.find('\n', lineStart), text.size());
  for (std::size_t at = lineStart; at < lineEnd;) {
    const std::size_t length =
        IsLeadByte(static_cast<unsigned char>(text[at])) && at + 1 < lineEnd ? 2 : 1;
    try {
      AnsiString(std::string(text.substr(at, length))).ToUtf8();
    } catch (const std::exception&) {
      return at;
    }
    at += length;
  }
  return lineEnd;
}

std::string DecodeCp932(std::string_view text, const std::string& name) {
  std::string utf8;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    try {
      utf8 += AnsiString(std::string(line)).ToUtf8();
    } catch (const std::exception&) {
      RejectText(name, TextEncoding::kCp932, text, FindInvalidCp932(text, start), 0);
    }
    if (end < text.size()) utf8 += '\n';
    start = end + 1;
  }
  return utf8;
}

}  // namespace

std::string InputName(const std::string& fileName) {
  return fileName == "-" ? "standard input" : fileName;
}

std::vector<std::uint8_t> ReadInput(const std::string& fileName, std::istream& in) {
  return fileName == "-" ? ReadStream(in) : ReadFile(fileName);
}

TextEncoding EncodingOption(const std::string& name) {
  std::string lower = name;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return char(std::tolower(c)); });
  if (lower == "utf-8" || lower == "utf8") return TextEncoding::kUtf8;
  if (lower == "cp932" || lower == "sjis" || lower == "shift_jis" || lower == "shift-jis")
    return TextEncoding::kCp932;
  throw CliUsageError("unknown encoding '" + Abridged(name) + "': use utf-8 or cp932");
}

std::string DecodeText(std::string_view bytes, TextEncoding encoding, const std::string& name) {
  if (encoding == TextEncoding::kCp932) return DecodeCp932(bytes, name);
  const std::size_t skipped = bytes.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
  const std::string_view text = bytes.substr(skipped);
  if (const auto invalid = FindInvalidUtf8(text))
    RejectText(name, TextEncoding::kUtf8, text, *invalid, skipped);
  return std::string(text);
}
