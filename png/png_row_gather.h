// Picks the pixels of one pass out of an image row into PNG row data.
#pragma once

#include <cstdint>

// Copies count pixels of row, at columns first, first + step, ..., into out at the same bit
// count: 1- and 4-bit pixels are packed anew from bit 7 of out's first byte (the unused low
// bits of the last byte 0); 24- and 32-bit pixels change from blue, green, red (, alpha) to
// red, green, blue (, alpha).
void GatherRowPixels(const std::uint8_t* row, int bitCount, std::int64_t first, int step,
                     std::int64_t count, std::uint8_t* out);
