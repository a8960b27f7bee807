// Undoing the PNG row filters on the reading side. Decoding spends much of its time here,
// so the common pixel sizes (3 and 4 bytes) run one pixel per SSE2 step.
#pragma once

#include <cstddef>
#include <cstdint>

// Undoes filter `type` (0-4) on the n data bytes at row, given the previous row's data at
// prior (zeros for the first row of a pass); bpp is the byte distance of the left neighbour.
// Returns false for a filter type above 4. Both buffers must stay readable for 4 bytes past
// the n data bytes (the reader's row buffers carry slack for that).
bool UnfilterRawRow(std::uint8_t type, std::uint8_t* row, const std::uint8_t* prior, std::size_t n,
                    std::size_t bpp);
