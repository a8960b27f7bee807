// Gathering tEXt and zTXt text into one Shift_JIS string. Each chunk contributes a header
// line "$#" + key, then its text with every line break made CR LF. The text never grows past
// a limit: what does not fit is left out, never half a character.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Appends the separator and the header line for key. The separator, CR LF, comes first
// unless the text is empty or at most one byte follows its last line break. Returns false,
// leaving text unchanged, when the two would take it past limit bytes.
bool AppendTextHeader(std::string& text, std::string_view key, std::size_t limit);

// Appends bytes up to the first 0 byte (or all of them) with their line breaks normalised:
// CR LF, a lone CR and a lone LF each become CR LF. The second byte of a Shift_JIS
// double-byte character is copied as it is, never read as a line break. Appends as much as
// fits in limit bytes, ending before a double-byte character or a CR LF that would not fit
// whole; returns false when not everything fitted.
bool AppendTextBody(std::string& text, std::string_view bytes, std::size_t limit);

// The normalised form of bytes (up to the first 0 byte), as AppendTextBody appends it.
std::string NormaliseLineBreaks(std::string_view bytes);
