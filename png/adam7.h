// The seven passes of Adam7 interlacing, shared by the writer and the reader.
#pragma once

#include <array>
#include <cstdint>

struct Adam7Pass {
  int firstColumn;
  int columnStep;
  int firstRow;
  int rowStep;
};

constexpr std::array<Adam7Pass, 7> kAdam7Passes = {{
    {0, 8, 0, 8},
    {4, 8, 0, 8},
    {0, 4, 4, 8},
    {2, 4, 0, 4},
    {0, 2, 2, 4},
    {1, 2, 0, 2},
    {0, 1, 1, 2},
}};

// How many of count positions first, first + step, ... lie below count.
constexpr std::int64_t Adam7Span(std::int64_t count, int first, int step) {
  return count > first ? (count - first + step - 1) / step : 0;
}
constexpr std::int64_t Adam7PassColumns(int pass, std::int64_t width) {
  return Adam7Span(width, kAdam7Passes[pass].firstColumn, kAdam7Passes[pass].columnStep);
}
constexpr std::int64_t Adam7PassRows(int pass, std::int64_t height) {
  return Adam7Span(height, kAdam7Passes[pass].firstRow, kAdam7Passes[pass].rowStep);
}
// A pass without columns or without rows contributes nothing, not even filter-type bytes.
constexpr bool Adam7PassIsEmpty(int pass, std::int64_t width, std::int64_t height) {
  return Adam7PassColumns(pass, width) == 0 || Adam7PassRows(pass, height) == 0;
}
// True when picture row r belongs to the pass.
constexpr bool Adam7TakesRow(int pass, std::int64_t r) {
  return r % kAdam7Passes[pass].rowStep == kAdam7Passes[pass].firstRow;
}
