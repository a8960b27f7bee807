#include "app/cp932_scan.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "app/utf8_text.h"

namespace {

// iconv is given the text a window at a time: a sanitizer checks all the input it is handed on
// every call, and a call per bad byte over the whole text would take quadratic time.
constexpr std::size_t kWindow = 256;

// An iconv descriptor, one per thread and direction as opening one costs more than a short
// scan. onBad gets the offset of each sequence that does not
// convert and the output so far, and returns how many input bytes to step over (at least 1).
class Scan {
 public:
  Scan(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no iconv for CP932");
  }
  ~Scan() { iconv_close(cd_); }
  Scan(const Scan&) = delete;
  Scan& operator=(const Scan&) = delete;

  template <typename OnBad>
  std::string Run(std::string_view input, OnBad onBad) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    for (std::size_t at = 0; at < input.size();) {
      char* in = const_cast<char*>(input.data() + at);
      std::size_t left = std::min(kWindow, input.size() - at);
      const bool last = left == input.size() - at;
      char buffer[kWindow * 4];  // room for the window in either direction
      char* next = buffer;
      std::size_t room = sizeof buffer;
      const std::size_t rc = iconv(cd_, &in, &left, &next, &room);
      out.append(buffer, std::size_t(next - buffer));
      const std::size_t reached = std::size_t(in - input.data());
      const bool moved = reached > at;
      at = reached;
      // A character cut by the window's end is whole in the next window.
      if (rc != std::size_t(-1) || (errno == EINVAL && !last && moved)) continue;
      at += std::min(onBad(at, out), input.size() - at);
    }
    return out;
  }

 private:
  iconv_t cd_;
};

}  // namespace

std::string Cp932ToUtf8KeepingBadBytes(std::string_view cp932) {
  thread_local Scan scan("UTF-8", "CP932");
  return scan.Run(cp932, [&](std::size_t at, std::string& out) {
    out += cp932[at];
    return std::size_t(1);
  });
}

std::vector<std::size_t> CharactersWithoutCp932Form(std::string_view utf8) {
  std::vector<std::size_t> offsets;
  thread_local Scan scan("CP932", "UTF-8");
  scan.Run(utf8, [&](std::size_t at, std::string&) {
    offsets.push_back(at);
    return DecodeUtf8(utf8, at).length;
  });
  return offsets;
}
