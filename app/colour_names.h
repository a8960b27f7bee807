// The colours the command line and the server take: six hex digits, or a CSS colour name.
#pragma once

#include <optional>
#include <string_view>

#include "platform/win_types.h"

// The colour a CSS colour name stands for ("navy", "RebeccaPurple"; any case), or nothing.
std::optional<COLORREF> NamedColour(std::string_view name);
// The colour six hex digits give as RRGGBB ("1E90FF"; any case), or nothing.
std::optional<COLORREF> HexColour(std::string_view digits);
