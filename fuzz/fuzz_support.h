// What the fuzz targets share: reading choices out of the fuzzer's bytes, and failing loudly
// when a property does not hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Stops the run with a message. libFuzzer and the corpus replay both catch the abort and name
// the input that caused it.
[[noreturn]] inline void FuzzFail(const std::string& what) {
  std::fprintf(stderr, "fuzz property failed: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

inline void FuzzCheck(bool holds, const std::string& what) {
  if (!holds) FuzzFail(what);
}

// The fuzzer's bytes as a sequence of choices. Past the end every choice reads as 0, so any
// input, however short, describes one complete case.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
    return v;
  }
  bool Flag() { return Byte() & 1; }
  // A value in [low, high].
  int Range(int low, int high) {
    const std::uint32_t span = std::uint32_t(high - low) + 1;
    const std::uint32_t raw = span <= 256 ? Byte() : U32();
    return low + int(raw % span);
  }
  template <typename T, std::size_t N>
  T Pick(const T (&choices)[N]) {
    return choices[Byte() % N];
  }
  // Up to maxLength bytes, the length chosen first.
  std::string Bytes(std::size_t maxLength) {
    const std::size_t length = std::size_t(Range(0, int(maxLength)));
    std::string out;
    for (std::size_t i = 0; i < length && at_ < size_; ++i) out += char(data_[at_++]);
    return out;
  }
  // The bytes not yet read.
  const std::uint8_t* Rest() const { return data_ + at_; }
  std::size_t RestSize() const { return size_ - at_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// Pixel bytes for a picture larger than the input: the input's remaining bytes over and over,
// or a noise sequence from a seed (incompressible, so the writers fill many blocks).
class PixelSource {
 public:
  PixelSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit PixelSource(std::uint32_t noiseSeed) : state_(noiseSeed | 1) {}

  std::uint8_t Next() {
    if (state_ == 0) return size_ > 0 ? data_[at_++ % size_] : 0;
    state_ ^= state_ << 13;  // xorshift32
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return std::uint8_t(state_ >> 11);
  }

 private:
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t at_ = 0;
  std::uint32_t state_ = 0;  // 0: the input's bytes
};
