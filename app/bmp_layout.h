// The parts of a BMP file's bytes, found from its headers without decoding anything: where the
// file starts (after a leading block, as the reader allows) and which part a file that ends too
// early ends in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Where the "BM" of the file stands: 0, or 256 after a leading block.
std::uint64_t BmpStart(std::string_view bytes);

// Where bytes, which a read ran past, end: "file ends at byte 60 inside the colour table".
std::string BmpFileEnd(std::string_view bytes);
