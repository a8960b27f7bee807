// How an image's text becomes tEXt chunks. A text that starts with "$#" is a list of entries,
// each "$#", a keyword, CR LF and a text in which "$" escapes the next character; any other
// text of two or more bytes is one "Comment". Bytes are kept as they are (Shift_JIS text
// stays Shift_JIS); none of the markers can be the second byte of a double-byte character.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct PngTextEntry {
  std::string keyword;
  std::string text;
  friend bool operator==(const PngTextEntry&, const PngTextEntry&) = default;
};

// The tEXt entries for text, which is read up to its first zero byte.
std::vector<PngTextEntry> PngTextEntries(std::string_view text);
