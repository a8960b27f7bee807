// The size of a row of pixels, worked out in one place for every layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The longest row, in bytes, anything handles. A stored row's size lives in an int field, and
// a row this long times any 32-bit row count still fits in 64 bits.
constexpr std::int64_t kMaxRowBytes = INT32_MAX;

// Rows of device-independent bitmaps are padded to 4 bytes, rows of device-dependent ones to
// 2; PNG rows are packed.
constexpr int kDIBRowAlignment = 4;
constexpr int kDDBRowAlignment = 2;
constexpr int kPackedRowAlignment = 1;

// Bytes of `pixels` pixels of `bitCount` bits each, rounded up to whole `alignment`-byte units.
// Nothing when pixels or bitCount is negative, alignment is below 1, or the row would be longer
// than kMaxRowBytes.
std::optional<std::size_t> RowBytes(std::int64_t pixels, int bitCount, int alignment);
// RowBytes, raising the out-of-memory error where it gives nothing.
std::size_t RequireRowBytes(std::int64_t pixels, int bitCount, int alignment);
