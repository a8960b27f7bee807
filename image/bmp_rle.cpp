// The run-length decoders. A run, an absolute run or a delta may point outside the image in a
// damaged file; such pixels are dropped (the position still advances), so every write lands
// inside the pixel memory. Once the position has left the image through the top, nothing more
// can be written and decoding ends.
#include "image/bmp_rle.h"

#include <algorithm>
#include <vector>

#include "image/bmp_limits.h"

namespace {

// Read-ahead over the source; what was read but not used is handed back at the end.
class RleInput {
 public:
  explicit RleInput(BmpSource& source) : source_(source), buffer_(kBmpRleBufferBytes) {}

  BYTE Next() {
    if (pos_ == end_) Refill();
    return buffer_[pos_++];
  }
  void Finish() {
    if (end_ > pos_) source_.Unread(end_ - pos_);
    pos_ = end_ = 0;
  }

 private:
  void Refill() {
    end_ = source_.ReadSome(buffer_.data(), buffer_.size());
    pos_ = 0;
    if (end_ == 0) source_.ShortData();
  }

  BmpSource& source_;
  std::vector<BYTE> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
};

// The write position, counted from the bottom stored row. 64 bits, so that no sequence of
// runs and deltas can make it wrap around into the image again.
struct RlePosition {
  std::int64_t x = 0;
  std::int64_t y = 0;
};

// Where the rows of the data lie in the pixel memory: upwards from the bottom stored row, or
// for a top-down file downwards from the top one. Writing each row where it belongs, instead of
// turning the picture over afterwards, leaves the rows the data never reaches untouched.
class RleRows {
 public:
  RleRows(const TVynDIBDesc& desc, bool topDown)
      : first_(topDown ? desc.TopLine : desc.Bits),
        step_(topDown ? -std::ptrdiff_t(desc.LineSize) : std::ptrdiff_t(desc.LineSize)),
        width_(desc.Width),
        height_(desc.Height) {}
  bool Inside(const RlePosition& p) const { return p.x < width_ && p.y < height_; }
  BYTE* Row(const RlePosition& p) const { return first_ + std::ptrdiff_t(p.y) * step_; }

 private:
  BYTE* first_;
  std::ptrdiff_t step_;
  std::int64_t width_, height_;
};

class Rle8Writer {
 public:
  explicit Rle8Writer(const RleRows& rows) : rows_(rows) {}
  void Put(RlePosition& p, BYTE value) {
    if (rows_.Inside(p)) rows_.Row(p)[p.x] = value;
    ++p.x;
  }
  void Run(RlePosition& p, int count, BYTE value) {
    for (int i = 0; i < count; ++i) Put(p, value);
  }

 private:
  const RleRows& rows_;
};

class Rle4Writer {
 public:
  explicit Rle4Writer(const RleRows& rows) : rows_(rows) {}
  void Put(RlePosition& p, BYTE nibble) {
    if (rows_.Inside(p)) {
      BYTE& b = rows_.Row(p)[p.x / 2];
      b = (p.x % 2 == 0) ? BYTE((b & 0x0F) | (nibble << 4)) : BYTE((b & 0xF0) | nibble);
    }
    ++p.x;
  }
  // A run alternates the value's high and low nibble, high first.
  void Run(RlePosition& p, int count, BYTE value) {
    for (int i = 0; i < count; ++i) Put(p, i % 2 == 0 ? value >> 4 : value & 0x0F);
  }

 private:
  const RleRows& rows_;
};

constexpr BYTE kEscape = 0;
constexpr BYTE kEndOfLine = 0;
constexpr BYTE kEndOfBitmap = 1;
constexpr BYTE kDelta = 2;

// Reads escape codes and runs until end of bitmap or until the position leaves the image at
// the top. absolute(position, count) copies an absolute run and consumes its padding.
template <typename Writer, typename Absolute>
void DecodeRle(BmpSource& source, const TVynDIBDesc& desc, bool topDown, Absolute absolute) {
  RleInput in(source);
  const RleRows rows(desc, topDown);
  Writer writer(rows);
  RlePosition p;
  while (p.y < desc.Height) {
    const BYTE count = in.Next();
    const BYTE code = in.Next();
    if (count != kEscape) {
      writer.Run(p, count, code);
    } else if (code == kEndOfLine) {
      p.x = 0;
      ++p.y;
    } else if (code == kEndOfBitmap) {
      break;
    } else if (code == kDelta) {
      p.x += in.Next();
      p.y += in.Next();
    } else {
      absolute(in, writer, p, code);
    }
  }
  in.Finish();
}

}  // namespace

namespace bmp_detail {

void DecodeRle8(BmpSource& source, const TVynDIBDesc& desc, bool topDown) {
  DecodeRle<Rle8Writer>(source, desc, topDown,
                        [](RleInput& in, Rle8Writer& w, RlePosition& p, int n) {
                          for (int i = 0; i < n; ++i) w.Put(p, in.Next());
                          if (n % 2 != 0) in.Next();  // runs are padded to 16 bits
                        });
}

void DecodeRle4(BmpSource& source, const TVynDIBDesc& desc, bool topDown) {
  DecodeRle<Rle4Writer>(source, desc, topDown,
                        [](RleInput& in, Rle4Writer& w, RlePosition& p, int n) {
                          BYTE pair = 0;
                          for (int i = 0; i < n; ++i) {
                            if (i % 2 == 0) pair = in.Next();
                            w.Put(p, i % 2 == 0 ? pair >> 4 : pair & 0x0F);
                          }
                          const int bytes = (n + 1) / 2;
                          if (bytes % 2 != 0) in.Next();  // runs are padded to 16 bits
                        });
}

}  // namespace bmp_detail
