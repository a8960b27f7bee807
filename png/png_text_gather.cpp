#include "png/png_text_gather.h"

#include "platform/ansi_string.h"

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';

// Gathered text only ever holds line breaks as CR LF, and neither CR nor LF is a lead byte,
// so a text ending in CR LF ends in a line break; one ending in a lone LF ends in the second
// byte of a (malformed) double-byte character instead.
bool EndsWithLineBreak(const std::string& text) {
  return text.size() >= 2 && text[text.size() - 2] == kCR && text.back() == kLF;
}

bool FitsLimit(const std::string& text, std::size_t extra, std::size_t limit) {
  return text.size() <= limit && extra <= limit - text.size();
}

}  // namespace

std::string NormaliseLineBreaks(std::string_view bytes) {
  const std::size_t end = bytes.find('\0');
  if (end != std::string_view::npos) bytes = bytes.substr(0, end);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8 + 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < bytes.size()) {
      out += c;
      out += bytes[++i];
    } else if (c == kCR) {
      out += "\r\n";
      if (i + 1 < bytes.size() && bytes[i + 1] == kLF) ++i;
    } else if (c == kLF) {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

// A new entry starts on a line of its own. (Text that ends in a line break needs no
// separator; anything else, even a single character after the last break, gets one, so
// the header never runs into the previous entry's last line.)
bool AppendTextHeader(std::string& text, std::string_view key, std::size_t limit) {
  const bool separate = !text.empty() && !EndsWithLineBreak(text);
  const std::size_t extra = (separate ? 2 : 0) + 2 + key.size() + 2;
  if (!FitsLimit(text, extra, limit)) return false;
  if (separate) text += "\r\n";
  text += "$#";
  text += key;
  text += "\r\n";
  return true;
}

bool AppendTextBody(std::string& text, std::string_view bytes, std::size_t limit) {
  const std::string normalised = NormaliseLineBreaks(bytes);
  if (!FitsLimit(text, normalised.size(), limit)) return false;
  text += normalised;
  return true;
}
