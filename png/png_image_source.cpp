#include "png/png_image_source.h"

#include <algorithm>
#include <cstring>

#include "platform/exception.h"
#include "png/chunks.h"
#include "png/png_idat_run.h"
#include "png/png_whole_inflate.h"

namespace {

// Inflated image data is produced in blocks of up to this size, and compressed data read in
// pieces of up to this size.
constexpr std::size_t kBlockSize = 32768;
constexpr std::size_t kPieceSize = 32768;
// Compressed data read ahead for inflating whole, beyond the image data's own size: an
// encoder's output is seldom more than an eighth larger than what it holds (fixed codes spend
// 9 bits on some bytes). What lies beyond is left to streaming.
constexpr std::size_t kReadAheadSlack = 65536;
// Deflate writes at most 258 bytes for 2 bits of input: data this many times smaller than the
// picture can never fill it.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

class WholeImageData : public ImageData {
 public:
  explicit WholeImageData(ScratchBytes bytes) {
    bytes_ = std::move(bytes);
    end_ = bytes_.size();
  }

 private:
  // Every byte of the picture is here; rows never ask for more.
  void Fill() override { ReaderFail("PNG LoadStream: image data too short"); }
};

// zlib inflates much faster into a roomy buffer than row by row (its fast loop needs space for
// a whole match), so blocks are large, but never reach beyond the image's own data: inflating
// past the last row could read into the chunks that follow the image data.
class StreamedImageData : public ImageData {
 public:
  StreamedImageData(ChunkCursor& chunk, InflateStream& inflater, const ImageDataShape& shape,
                    IdatRun readAhead)
      : chunk_(chunk),
        inflater_(inflater),
        readAhead_(std::move(readAhead)),
        remaining_(shape.size) {
    // Blocks of whole rows where rows are all alike and fit, so rows seldom need gathering.
    std::size_t blockSize = kBlockSize;
    if (shape.rowLength != 0 && shape.rowLength <= kBlockSize)
      blockSize -= kBlockSize % shape.rowLength;
    bytes_.Resize(std::size_t(std::min<std::uint64_t>(blockSize, shape.size)));
    inflater_.SetChecksum(false);
  }

 private:
  void Fill() override;
  void Refill();

  ChunkCursor& chunk_;
  InflateStream& inflater_;
  IdatRun readAhead_;  // handed to zlib before the rest
  ScratchBytes input_;
  std::uint64_t remaining_;  // raw image bytes not yet inflated
  bool ended_ = false;       // the compressed data reached its end
};

void StreamedImageData::Fill() {
  // Once the compressed data is complete nothing more will come, however many rows the
  // picture still lacks.
  if (ended_ || remaining_ == 0) ReaderFail("PNG LoadStream: image data too short");
  const std::size_t want = std::size_t(std::min<std::uint64_t>(bytes_.size(), remaining_));
  z_stream& z = inflater_.Z();
  z.next_out = bytes_.data();
  z.avail_out = uInt(want);
  while (z.avail_out > 0) {
    if (z.avail_in == 0) Refill();
    const int result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      ended_ = true;
      if (z.avail_out > 0) ReaderFail("PNG LoadStream: image data too short");
      break;
    }
    // A preset dictionary is never used in PNG; asking for one is as fatal as bad data.
    if (result != Z_OK) ReaderFail("PNG LoadStream: zlib error");
  }
  pos_ = 0;
  end_ = want;
  remaining_ -= want;
}

// Makes the next piece of compressed data available: what was read ahead, then the rest of
// the IDAT chunks.
void StreamedImageData::Refill() {
  z_stream& z = inflater_.Z();
  if (readAhead_.NextPiece(z)) return;
  // Empty IDAT chunks are legal and carry nothing: they are passed over.
  while (chunk_.Left() == 0) {
    chunk_.End();
    if (chunk_.Begin() != kIDAT) throw Exception("not next IDAT Chunk");
  }
  if (input_.size() == 0) input_.Resize(kPieceSize);
  const std::uint32_t n = std::uint32_t(std::min<std::size_t>(chunk_.Left(), kPieceSize));
  chunk_.Read(input_.data(), n);
  z.next_in = input_.data();
  z.avail_in = n;
}

}  // namespace

void ImageData::Copy(std::uint8_t* row, std::size_t length) {
  while (length > 0) {
    if (pos_ == end_) Fill();
    const std::size_t n = std::min(length, end_ - pos_);
    std::memcpy(row, bytes_.data() + pos_, n);
    pos_ += n;
    row += n;
    length -= n;
  }
}

std::unique_ptr<ImageData> OpenImageData(ChunkCursor& chunk, InflateStream& inflater,
                                         const ImageDataShape& shape, std::size_t wholeLimit) {
  IdatRun readAhead;
  const std::uint64_t size = shape.size;
  if (size <= wholeLimit) {
    readAhead.Gather(chunk, std::size_t(size + size / 4 + kReadAheadSlack), kPieceSize);
    if (readAhead.size() * kMaxDeflateRatio >= size) {
      ScratchBytes bytes{std::size_t(size)};
      if (InflateWhole(readAhead.data(), readAhead.size(), bytes.data(), std::size_t(size)))
        return std::make_unique<WholeImageData>(std::move(bytes));
    }
  }
  return std::make_unique<StreamedImageData>(chunk, inflater, shape, std::move(readAhead));
}
