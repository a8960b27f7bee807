// UTF-8 as the command line meets it: checking text that arrives from files and arguments, and
// escaping text that leaves for a terminal or a JSON reader.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// One step through UTF-8 text: the character at a position and how many bytes it takes. A
// malformed sequence (a stray byte, an overlong form, a surrogate, a value past U+10FFFF, a
// sequence cut short) is one invalid byte.
struct Utf8Char {
  char32_t code = 0;
  std::size_t length = 1;
  bool valid = false;
};
Utf8Char DecodeUtf8(std::string_view text, std::size_t at);

// The offset of the first byte that is not part of well-formed UTF-8, or nothing.
std::optional<std::size_t> FindInvalidUtf8(std::string_view text);

// Text for a terminal: control characters (C0, DEL, C1) and bytes that are not UTF-8 appear as
// escapes (\n, \t, \x1B, \u009B), a backslash as \\, so a file cannot move the cursor, clear
// the screen or retitle the window.
std::string TerminalText(std::string_view text);

// Text from outside (a name, a value) as a message quotes it: past kMaxQuotedBytes, cut at a
// character's start and marked with an ellipsis, so a megabyte name is not echoed whole.
constexpr std::size_t kMaxQuotedBytes = 240;
std::string Abridged(std::string_view text);

// A JSON string literal, quotes included; malformed UTF-8 becomes U+FFFD.
std::string JsonString(std::string_view text);
