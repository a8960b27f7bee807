#include "png/png_text_gather.h"

#include "platform/ansi_string.h"

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';

bool IsLead(char c) {
  return IsLeadByte(static_cast<unsigned char>(c));
}

// Whether the byte at `at` is the second byte of a double-byte character. The byte before a
// run of possible lead bytes ends a character, so the run pairs up from its start.
bool IsSecondByte(const std::string& text, std::size_t at) {
  std::size_t run = 0;
  while (run < at && IsLead(text[at - run - 1])) ++run;
  return run % 2 == 1;
}

// The index of the last CR or LF that is a character of its own, or npos.
std::size_t LastLineBreak(const std::string& text) {
  std::size_t at = text.size();
  while (at > 0) {
    at = text.find_last_of("\r\n", at - 1);
    if (at == std::string::npos || !IsSecondByte(text, at)) return at;
  }
  return std::string::npos;
}

// A last line of a single byte runs straight into the next header; nothing is lost, as the
// writer ends an entry's text at the next "$#". A line break added there would come back as
// part of the entry's text, one more at every load and save.
bool NeedsSeparator(const std::string& text) {
  if (text.empty()) return false;
  const std::size_t last = LastLineBreak(text);
  return last == std::string::npos || text.size() - last - 1 > 1;
}

// Appends the normalised form of bytes to out, one character (or CR LF) at a time, while
// each fits in room bytes. Returns false when something was left out.
bool AppendNormalised(std::string& out, std::string_view bytes, std::size_t room) {
  const std::size_t end = bytes.find('\0');
  if (end != std::string_view::npos) bytes = bytes.substr(0, end);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    const bool pair = IsLead(c) && i + 1 < bytes.size();
    const bool lineBreak = c == kCR || c == kLF;
    const std::size_t size = pair || lineBreak ? 2 : 1;
    if (size > room) return false;
    room -= size;
    if (pair) {
      out += c;
      out += bytes[++i];
    } else if (lineBreak) {
      out += "\r\n";
      if (c == kCR && i + 1 < bytes.size() && bytes[i + 1] == kLF) ++i;
    } else {
      out += c;
    }
  }
  return true;
}

std::size_t Room(const std::string& text, std::size_t limit) {
  return text.size() < limit ? limit - text.size() : 0;
}

}  // namespace

std::string NormaliseLineBreaks(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8 + 2);
  AppendNormalised(out, bytes, std::string::npos);
  return out;
}

bool AppendTextHeader(std::string& text, std::string_view key, std::size_t limit) {
  const bool separate = NeedsSeparator(text);
  const std::size_t extra = (separate ? 2 : 0) + 2 + key.size() + 2;
  if (extra > Room(text, limit)) return false;
  if (separate) text += "\r\n";
  text += "$#";
  text += key;
  text += "\r\n";
  return true;
}

bool AppendTextBody(std::string& text, std::string_view bytes, std::size_t limit) {
  return AppendNormalised(text, bytes, Room(text, limit));
}
