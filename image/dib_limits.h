// Limits every reader of image files applies before it allocates pixel memory.
#pragma once

#include <cstdint>

// The most pixels (width × height) a decoded image may have: 2^28, a 16384 × 16384 picture.
// At 32 bits per pixel that is 1 GiB of pixel memory, far beyond any caption or screen picture,
// and small enough that line size × height at any bit count fits comfortably in 64 bits and in
// the 4 GiB a single mapping may hold. The BMP, clipboard and PNG readers share this one number
// so a picture one of them accepts is never refused by another.
constexpr std::uint64_t kMaxDIBPixels = std::uint64_t(1) << 28;
