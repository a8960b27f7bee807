// Conversions between UTF-8 and code page 932 that go on past what does not convert, for
// reports that show the whole of a text: one pass through iconv, not an exception per
// character, so megabytes of damaged text cost no more than good text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// cp932 as UTF-8; a byte that does not convert is kept as it is, for escaping to show.
std::string Cp932ToUtf8KeepingBadBytes(std::string_view cp932);

// Where the characters of well-formed utf8 that have no code page 932 form start.
std::vector<std::size_t> CharactersWithoutCp932Form(std::string_view utf8);
