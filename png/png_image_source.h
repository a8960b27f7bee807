// The image data of one load, inflated and handed out a raw row (filter byte first) at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/fresh_pages.h"
#include "png/inflate_stream.h"
#include "png/png_chunk_cursor.h"

// How much image data a picture has and how its rows run.
struct ImageDataShape {
  std::uint64_t size = 0;     // the rows of all passes, filter bytes included
  std::size_t rowLength = 0;  // of every row, or 0 when rows differ (interlaced passes)
};

class ImageData {
 public:
  virtual ~ImageData() = default;

  // Copies the next `length` bytes into `row`.
  void Copy(std::uint8_t* row, std::size_t length);
  // The next `length` bytes: where they lie when they are held whole, or else copied into
  // `spare`.
  const std::uint8_t* Take(std::uint8_t* spare, std::size_t length) {
    if (pos_ == end_) Fill();
    if (end_ - pos_ < length) {
      Copy(spare, length);
      return spare;
    }
    const std::uint8_t* row = bytes_.data() + pos_;
    pos_ += length;
    return row;
  }
  // The next `length` bytes when they are held whole, left for Skip; nullptr otherwise.
  const std::uint8_t* Peek(std::size_t length) const {
    return end_ - pos_ >= length ? bytes_.data() + pos_ : nullptr;
  }
  void Skip(std::size_t length) { pos_ += length; }

 protected:
  // Makes inflated bytes available again once all of them are taken.
  virtual void Fill() = 0;

  ScratchBytes bytes_;
  std::size_t pos_ = 0, end_ = 0;  // bytes [pos_, end_) are inflated and not yet taken
};

// Opens the image data at the cursor, which stands in its first IDAT chunk. Chosen once: data of
// at most `wholeLimit` bytes is read ahead and, when libdeflate takes it whole, inflated in one
// call into a buffer of exactly its size; any other streams through zlib a block at a time,
// starting on what was read ahead, so failures and leniencies stay those of streaming. One
// difference remains: deflate data broken in ways zlib refuses but libdeflate decodes is
// decoded whole, and the load goes on.
std::unique_ptr<ImageData> OpenImageData(ChunkCursor& chunk, InflateStream& inflater,
                                         const ImageDataShape& shape, std::size_t wholeLimit);
