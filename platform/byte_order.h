// Integers stored in a fixed byte order, read from bytes: PNG stores them most significant
// byte first, BMP least significant first.
#pragma once

#include <cstdint>

constexpr std::uint16_t LoadBE16(const std::uint8_t* p) {
  return std::uint16_t(p[0] << 8 | p[1]);
}
constexpr std::uint32_t LoadBE32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

constexpr std::uint16_t LoadLE16(const std::uint8_t* p) {
  return std::uint16_t(p[1] << 8 | p[0]);
}
constexpr std::uint32_t LoadLE24(const std::uint8_t* p) {
  return std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}
constexpr std::uint32_t LoadLE32(const std::uint8_t* p) {
  return std::uint32_t(p[3]) << 24 | LoadLE24(p);
}
