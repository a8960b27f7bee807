// The colour names the command line takes: the CSS named colours, one table.
#pragma once

#include <optional>
#include <string_view>

#include "platform/win_types.h"

// The colour a CSS colour name stands for ("navy", "RebeccaPurple"; any case), or nothing.
std::optional<COLORREF> NamedColour(std::string_view name);
