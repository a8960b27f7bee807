#include "app/utf8_text.h"

#include <cstdio>

namespace {

bool IsContinuation(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

// Characters a terminal acts on instead of showing.
bool IsControl(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F);
}

std::string Hex(const char* format, unsigned value) {
  char text[12];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

Utf8Char DecodeUtf8(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return {lead, 1, true};
  std::size_t length;
  char32_t code, least;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07, least = 0x10000;
  } else {
    return {};
  }
  if (text.size() - at < length) return {};
  for (std::size_t i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(text[at + i]);
    if (!IsContinuation(b)) return {};
    code = (code << 6) | (b & 0x3F);
  }
  if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return {};
  return {code, length, true};
}

std::optional<std::size_t> FindInvalidUtf8(std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = DecodeUtf8(text, at);
    if (!c.valid) return at;
    at += c.length;
  }
  return std::nullopt;
}

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = DecodeUtf8(text, at);
    if (!c.valid) {
      out += Hex("\\x%02X", static_cast<unsigned char>(text[at]));
    } else if (c.code == '\\') {
      out += "\\\\";
    } else if (c.code == '\n') {
      out += "\\n";
    } else if (c.code == '\r') {
      out += "\\r";
    } else if (c.code == '\t') {
      out += "\\t";
    } else if (IsControl(c.code)) {
      out += Hex(c.code < 0x80 ? "\\x%02X" : "\\u%04X", unsigned(c.code));
    } else {
      out.append(text.substr(at, c.length));
    }
    at += c.length;
  }
  return out;
}

std::string Abridged(std::string_view text) {
  if (text.size() <= kMaxQuotedBytes) return std::string(text);
  std::size_t cut = kMaxQuotedBytes;
  while (cut > 0 && IsContinuation(static_cast<unsigned char>(text[cut]))) --cut;
  return std::string(text.substr(0, cut)) + "…";
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t at = 0; at < text.size();) {
    const Utf8Char c = DecodeUtf8(text, at);
    if (!c.valid) {
      out += "\\ufffd";
    } else if (c.code == '"' || c.code == '\\') {
      out += '\\';
      out += char(c.code);
    } else if (c.code == '\n') {
      out += "\\n";
    } else if (c.code == '\r') {
      out += "\\r";
    } else if (c.code == '\t') {
      out += "\\t";
    } else if (IsControl(c.code)) {
      // DEL and C1 are legal in JSON strings; escaped, the output is safe on a terminal too.
      out += Hex("\\u%04x", unsigned(c.code));
    } else {
      out.append(text.substr(at, c.length));
    }
    at += c.length;
  }
  return out + "\"";
}
