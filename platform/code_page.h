// Text between code page 932, UTF-8 and UTF-16 through iconv. Nothing here raises an Exception:
// the exceptions convert their own messages with it, and AnsiString raises on top of it.
#pragma once

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>
#include <string_view>

// One iconv conversion descriptor, closed on every path.
class Converter {
 public:
  Converter(const char* to, const char* from) : to_(to), from_(from), cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (IsOpen()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // False when iconv has no converter between the two encodings.
  bool IsOpen() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  const char* To() const { return to_; }
  const char* From() const { return from_; }

  // Converts input with an open descriptor; on an unconvertible or malformed sequence calls
  // onBad with the offset of the offending input bytes, which returns how many to skip
  // (0 stops) or throws.
  template <typename OnBad>
  std::string Run(std::string_view input, OnBad onBad) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // a throw may have left a state behind
    std::string out;
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[1024];
    while (inLeft > 0) {
      char* outPtr = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t rc = iconv(cd_, &in, &inLeft, &outPtr, &outLeft);
      out.append(buffer, outPtr - buffer);
      if (rc != std::size_t(-1)) continue;
      if (errno == E2BIG) continue;
      const std::size_t offset = input.size() - inLeft;
      const std::size_t skip = onBad(offset, out);
      if (skip == 0) break;
      in += std::min(skip, inLeft);
      inLeft -= std::min(skip, inLeft);
    }
    char* outPtr = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, outPtr - buffer);
    return out;
  }

 private:
  const char* to_;
  const char* from_;
  iconv_t cd_;
};

// The thread's converters. Opening one costs more than most conversions, and composing converts
// every line several times; each thread keeps its own, since an iconv descriptor is not
// shareable.
Converter& Utf8ToCp932();
Converter& Cp932ToUtf8();
Converter& Utf16ToUtf8();
Converter& Utf8ToUtf16();

// Length of the UTF-8 sequence that starts with byte b (1 for a stray byte).
std::size_t Utf8SequenceLength(unsigned char b);

// UTF-8 to code page 932 through an open converter, '?' standing for each character that has
// no form there.
std::string Utf8ToCp932Lossy(Converter& converter, std::string_view utf8);
