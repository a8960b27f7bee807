// The rows of the image data: undoing the filters and the interlacing, converting and placing
// each row straight into the store.
#include "png/png_image_data.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/fresh_pages.h"
#include "platform/row_size.h"
#include "png/adam7.h"
#include "png/png_image_source.h"
#include "png/png_row_convert.h"
#include "png/png_store_setup.h"
#include "png/png_unfilter.h"

namespace {

// Slack after each row buffer, so a whole store row can be copied out of a converted row.
constexpr std::size_t kRowSlack = 12;

// What the rows of one picture are read with: the store they go to, their format, their
// kernels and buffers, and the image data they come from.
struct RowMachine {
  RowMachine(const PngHeader& h, const TVynDIBDesc& d, const RowFormat& f, SimdLevel level)
      : header(h), desc(d), format(f), unfilter(level) {}
  const PngHeader& header;
  const TVynDIBDesc& desc;
  const RowFormat& format;
  const RowUnfilter unfilter;  // chosen once per image, like the row format
  std::unique_ptr<ImageData> data;
  FreshBytes buffers[3];
  std::size_t written = 0;           // leading bytes of the raw-row buffers that may no longer be 0
  std::uint8_t* current = nullptr;   // raw row being unfiltered: filter byte, then data
  std::uint8_t* previous = nullptr;  // the pass's previous raw row (zeros at pass start)
  std::uint8_t* converted = nullptr;
  std::size_t filterBpp = 1;
};

// Filter byte and data of a row of `pixels` pixels.
std::size_t RawRowLength(const RowFormat& format, std::int64_t pixels) {
  return RequireRowBytes(pixels, int(format.PixelBits), kPackedRowAlignment) + 1;
}

// Converts the data of a raw row (after its filter byte) into a store row.
void PlaceInStore(const RowMachine& m, const std::uint8_t* raw, std::size_t rawLength,
                  BYTE* destination) {
  const BYTE* converted = m.format.ConvertRow(raw + 1, destination, std::uint32_t(m.header.Width));
  if (converted != destination) std::memcpy(destination, converted, rawLength - 1);
}

// Gives the pass's first row a previous row of zeros. Only what earlier passes wrote is
// cleared: the rest of the buffer has never been touched.
void StartPass(RowMachine& m, std::size_t rawLength) {
  std::memset(m.previous, 0, std::min(rawLength, m.written));
  m.written = std::max(m.written, rawLength);
}

void ReadPassRow(RowMachine& m, std::size_t rawLength, std::uint32_t pixels, const Adam7Pass& pass,
                 std::uint8_t* destination) {
  m.data->Copy(m.current, rawLength);
  if (!m.unfilter.Row(m.current[0], m.current + 1, m.previous + 1, rawLength - 1, m.filterBpp))
    ReaderFail("PNG LoadStream: not support Filter");
  // A full-width row converts straight into the store; a pass row goes through the
  // converted-row buffer and is then spread over its columns.
  BYTE* out = m.header.Interlaced() ? m.converted : destination;
  const BYTE* pixelsOut = m.format.ConvertRow(m.current + 1, out, pixels);
  m.format.PlaceRow(pixelsOut, destination, std::uint32_t(pass.firstColumn),
                    std::uint32_t(pass.columnStep), pixels, std::size_t(m.desc.LineSize));
  std::swap(m.current, m.previous);
}

void ReadPass(RowMachine& m, const Adam7Pass& pass) {
  const std::int64_t pixels = Adam7Span(m.header.Width, pass.firstColumn, pass.columnStep);
  if (pixels == 0) return;  // a pass without columns has no rows, not even filter bytes
  const std::size_t rawLength = RawRowLength(m.format, pixels);
  StartPass(m, rawLength);
  for (std::int64_t y = pass.firstRow; y < m.header.Height; y += pass.rowStep)
    ReadPassRow(m, rawLength, std::uint32_t(pixels), pass, PictureRow(m.desc, int(y)));
}

// Rows of a format whose store pixels are the file's bytes, at most reordered within each
// pixel, are converted first and unfiltered where they land, against the store row above.
// The filters work byte by byte at a distance of whole pixels, so reordering the bytes of
// every pixel commutes with them; this saves a copy and a pass over each row. Rows of one
// filter type in succession are unfiltered together, as many as one pass takes.
void ReadRowsInStore(RowMachine& m) {
  const std::size_t rawLength = RawRowLength(m.format, m.header.Width);
  const std::size_t dataLength = rawLength - 1;
  const std::size_t most = m.unfilter.RowsAtOnce();
  const int height = m.header.Height;
  StartPass(m, rawLength);  // the row above the first
  const std::uint8_t* prior = m.previous;
  std::uint8_t types[RowUnfilter::kMostRowsAtOnce];
  std::uint8_t* rows[RowUnfilter::kMostRowsAtOnce];
  for (int y = 0; y < height;) {
    const std::uint8_t* raw = m.data->Take(m.current, rawLength);
    std::size_t count = 0;
    for (;;) {
      types[count] = raw[0];
      rows[count] = PictureRow(m.desc, y + int(count));
      PlaceInStore(m, raw, rawLength, rows[count]);
      ++count;
      // The rows after it of the same type that are inflated already come along.
      if (count == most || y + int(count) == height) break;
      raw = m.data->Peek(rawLength);
      if (raw == nullptr || raw[0] != types[0]) break;
      m.data->Skip(rawLength);
    }
    if (!m.unfilter.Rows(types, rows, count, prior, dataLength, m.filterBpp))
      ReaderFail("PNG LoadStream: not support Filter");
    prior = rows[count - 1];
    y += int(count);
  }
}

// The raw bytes of all rows of all passes, filter bytes included.
ImageDataShape ShapeOf(const PngHeader& h, const RowFormat& format) {
  ImageDataShape shape;
  for (int pass = 0; pass < (h.Interlaced() ? 7 : 1); ++pass) {
    const Adam7Pass p = h.Interlaced() ? kAdam7Passes[std::size_t(pass)] : Adam7Pass{0, 1, 0, 1};
    const std::int64_t pixels = Adam7Span(h.Width, p.firstColumn, p.columnStep);
    const std::int64_t rows = Adam7Span(h.Height, p.firstRow, p.rowStep);
    if (pixels == 0) continue;
    shape.size += std::uint64_t(rows) * RawRowLength(format, pixels);
  }
  if (!h.Interlaced()) shape.rowLength = RawRowLength(format, h.Width);
  return shape;
}

void AllocateRows(RowMachine& m) {
  const std::uint32_t widest = std::max(m.format.PixelBits, m.format.StoreBits);
  const std::size_t rowBytes = RequireRowBytes(m.header.Width, int(widest), kPackedRowAlignment);
  const std::size_t size =
      (std::max(rowBytes, std::size_t(m.desc.LineSize)) + kRowSlack + 3) & ~std::size_t(3);
  for (auto& b : m.buffers) b.Resize(size);
  m.current = m.buffers[0].data();
  m.previous = m.buffers[1].data();
  m.converted = m.buffers[2].data();
  m.filterBpp = std::max<std::size_t>(1, (m.format.PixelBits + 7) / 8);
}

}  // namespace

void HandleIDAT(PngReadState& s, ChunkCursor& chunk, InflateStream& inflater,
                ImageDataPhase phase) {
  if (phase == ImageDataPhase::kDone) ReaderFail("PNG LoadStream: appear two IDAT");
  if (phase == ImageDataPhase::kTail) return chunk.SkipRest();
  const PngHeader& h = s.Header;
  const SimdLevel level = UsableSimdLevel(s.Limits.MaxSimdLevel);
  RowFormat format;
  if (!ChooseRowFormat(h.ColorKind, h.HasAlpha, h.BitDepth, h.Interlaced(), level, format))
    ReaderFail("PNG Loadstream: error palette length");
  SetUpStore(s, format);
  RowMachine machine(h, s.Desc, format, level);
  AllocateRows(machine);
  machine.data = OpenImageData(chunk, inflater, ShapeOf(h, format), s.Limits.MaxWholeInflateBytes);

  if (h.Interlaced()) {
    for (const Adam7Pass& pass : kAdam7Passes) ReadPass(machine, pass);
  } else if (format.BytesInPlace) {
    ReadRowsInStore(machine);
  } else {
    ReadPass(machine, Adam7Pass{0, 1, 0, 1});
  }
  // The picture is complete; the rest of this chunk (the stream's tail) is not needed.
  chunk.SkipRest();
  inflater.Reset();
  inflater.SetChecksum(true);  // zTXt text is inflated whole, checksum included
}
