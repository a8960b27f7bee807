// The image-data path of the PNG reader: inflating the rows, undoing the filters and the
// interlacing, converting and placing each row straight into the store.
#include "png/png_image_data.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/exception.h"
#include "platform/fresh_pages.h"
#include "platform/halftone_palette.h"
#include "platform/row_size.h"
#include "png/adam7.h"
#include "png/chunks.h"
#include "png/png_chunk_stream.h"
#include "png/png_idat_run.h"
#include "png/png_unfilter.h"
#include "png/png_whole_inflate.h"

namespace {

// Inflated image data is produced in blocks of up to this size.
constexpr std::size_t kStageSize = 32768;
// Slack after each row buffer, so a whole store row can be copied out of a converted row.
constexpr std::size_t kRowSlack = 12;

// Compressed data read ahead for the whole-buffer path, beyond the image data's own size: an
// encoder's output is seldom more than an eighth larger than what it holds (fixed codes spend
// 9 bits on some bytes). What lies beyond is left to streaming.
constexpr std::size_t kReadAheadSlack = 65536;
// Deflate writes at most 258 bytes for 2 bits of input: data this many times smaller than the
// picture can never fill it.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// Inflated image data waiting to be handed out as rows: all of it, when it was inflated in one
// call, or else a block at a time. zlib inflates much faster into a roomy buffer than row by
// row (its fast loop needs space for a whole match), so blocks are large, but never reach
// beyond the image's own data: inflating past the last row could read into the chunks that
// follow the image data.
struct Staging {
  ScratchBytes bytes;
  std::size_t pos = 0, end = 0;  // bytes [pos, end) are inflated and not yet handed out
  std::uint64_t remaining = 0;   // raw image bytes not yet inflated
  IdatRun gathered;              // compressed data read ahead, handed to zlib before the rest
};

// Everything one image-data read needs besides the state.
struct RowMachine {
  explicit RowMachine(SimdLevel level) : unfilter(level) {}
  const RowUnfilter unfilter;  // chosen once per image, like the row format
  Staging stage;
  FreshBytes buffers[3];
  std::size_t written = 0;           // leading bytes of the raw-row buffers that may no longer be 0
  std::uint8_t* current = nullptr;   // raw row being unfiltered: filter byte, then data
  std::uint8_t* previous = nullptr;  // the pass's previous raw row (zeros at pass start)
  std::uint8_t* converted = nullptr;
  std::size_t filterBpp = 1;
};

// Makes the next block of compressed data available: what was read ahead, then the rest of the
// IDAT chunks.
void RefillImageData(PngReadState& s, Staging& stage) {
  if (stage.gathered.NextPiece(s.Inflater->Z())) return;
  // Empty IDAT chunks are legal and carry nothing: they are passed over.
  while (s.ChunkLeft <= 0) {
    SkipBytes(*s.Source, kChunkCRCSize);
    s.ChunkLeft = ReadChunkLength(*s.Source);
    if (ReadU32(*s.Source) != kIDAT) throw Exception("not next IDAT Chunk");
  }
  const std::uint32_t n =
      std::uint32_t(std::min<std::size_t>(std::size_t(s.ChunkLeft), s.InBuf.size()));
  s.Source->ReadBuffer(s.InBuf.data(), n);
  s.ChunkLeft -= std::int32_t(n);
  z_stream& z = s.Inflater->Z();
  z.next_in = s.InBuf.data();
  z.avail_in = n;
}

// Inflates the next block of image data into the empty staging buffer.
void FillStage(PngReadState& s, Staging& stage) {
  // Once the compressed data is complete nothing more will come, however many rows the
  // picture still lacks.
  if (s.ImageDataEnded || stage.remaining == 0) ReaderFail("PNG LoadStream: image data too short");
  const std::size_t want =
      std::size_t(std::min<std::uint64_t>(stage.bytes.size(), stage.remaining));
  z_stream& z = s.Inflater->Z();
  z.next_out = stage.bytes.data();
  z.avail_out = uInt(want);
  while (z.avail_out > 0) {
    if (z.avail_in == 0) RefillImageData(s, stage);
    const int result = inflate(&z, Z_NO_FLUSH);
    if (result == Z_STREAM_END) {
      s.ImageDataEnded = true;
      if (z.avail_out > 0) ReaderFail("PNG LoadStream: image data too short");
      break;
    }
    // A preset dictionary is never used in PNG; asking for one is as fatal as bad data.
    if (result != Z_OK) ReaderFail("PNG LoadStream: zlib error");
  }
  stage.pos = 0;
  stage.end = want;
  stage.remaining -= want;
}

// Copies the next `length` bytes of image data into `row`.
void InflateRow(PngReadState& s, Staging& stage, std::uint8_t* row, std::size_t length) {
  while (length > 0) {
    if (stage.pos == stage.end) FillStage(s, stage);
    const std::size_t n = std::min(length, stage.end - stage.pos);
    std::memcpy(row, stage.bytes.data() + stage.pos, n);
    stage.pos += n;
    row += n;
    length -= n;
  }
}

// The next `length` bytes of image data: where they lie in the staging buffer when they are
// there whole, or else gathered into `spare`.
const std::uint8_t* NextRawRow(PngReadState& s, Staging& stage, std::uint8_t* spare,
                               std::size_t length) {
  if (stage.pos == stage.end) FillStage(s, stage);
  if (stage.end - stage.pos < length) {
    InflateRow(s, stage, spare, length);
    return spare;
  }
  const std::uint8_t* row = stage.bytes.data() + stage.pos;
  stage.pos += length;
  return row;
}

// The next `length` bytes of image data when the staging buffer holds them whole, without
// taking them; nullptr otherwise.
const std::uint8_t* PeekRawRow(const Staging& stage, std::size_t length) {
  return stage.end - stage.pos >= length ? stage.bytes.data() + stage.pos : nullptr;
}

// Converts the data of a raw row (after its filter byte) into a store row.
void PlaceInStore(const PngReadState& s, const std::uint8_t* raw, std::size_t rawLength,
                  BYTE* destination) {
  const BYTE* converted = s.Format.ConvertRow(raw + 1, destination, std::uint32_t(s.Width));
  if (converted != destination) std::memcpy(destination, converted, rawLength - 1);
}

// Gives the pass's first row a previous row of zeros. Only what earlier passes wrote is
// cleared: the rest of the buffer has never been touched.
void StartPass(RowMachine& m, std::size_t rawLength) {
  std::memset(m.previous, 0, std::min(rawLength, m.written));
  m.written = std::max(m.written, rawLength);
}

// Filter byte and data of a row of `pixels` pixels.
std::size_t RawRowLength(const PngReadState& s, std::int64_t pixels) {
  return RequireRowBytes(pixels, int(s.Format.PixelBits), kPackedRowAlignment) + 1;
}

void ReadPassRow(PngReadState& s, RowMachine& m, std::size_t rawLength, std::uint32_t pixels,
                 const Adam7Pass& pass, std::uint8_t* destination) {
  InflateRow(s, m.stage, m.current, rawLength);
  if (!m.unfilter.Row(m.current[0], m.current + 1, m.previous + 1, rawLength - 1, m.filterBpp))
    ReaderFail("PNG LoadStream: not support Filter");
  // A full-width row converts straight into the store; a pass row goes through the
  // converted-row buffer and is then spread over its columns.
  BYTE* out = s.Interlace == 1 ? m.converted : destination;
  const BYTE* pixelsOut = s.Format.ConvertRow(m.current + 1, out, pixels);
  s.Format.PlaceRow(pixelsOut, destination, std::uint32_t(pass.firstColumn),
                    std::uint32_t(pass.columnStep), pixels, std::size_t(s.Desc.LineSize));
  std::swap(m.current, m.previous);
}

void ReadPass(PngReadState& s, RowMachine& m, const Adam7Pass& pass) {
  const std::int64_t pixels = Adam7Span(s.Width, pass.firstColumn, pass.columnStep);
  if (pixels == 0) return;  // a pass without columns has no rows, not even filter bytes
  const std::size_t rawLength = RawRowLength(s, pixels);
  StartPass(m, rawLength);
  for (std::int64_t y = pass.firstRow; y < s.Height; y += pass.rowStep)
    ReadPassRow(s, m, rawLength, std::uint32_t(pixels), pass, PictureRow(s.Desc, int(y)));
}

// Rows of a format whose store pixels are the file's bytes, at most reordered within each
// pixel, are converted first and unfiltered where they land, against the store row above.
// The filters work byte by byte at a distance of whole pixels, so reordering the bytes of
// every pixel commutes with them; this saves a copy and a pass over each row. Rows of one
// filter type in succession are unfiltered together, as many as one pass takes.
void ReadRowsInStore(PngReadState& s, RowMachine& m) {
  const std::size_t rawLength = RawRowLength(s, s.Width);
  const std::size_t dataLength = rawLength - 1;
  const std::size_t most = m.unfilter.RowsAtOnce();
  StartPass(m, rawLength);  // the row above the first
  const std::uint8_t* prior = m.previous;
  std::uint8_t types[RowUnfilter::kMostRowsAtOnce];
  std::uint8_t* rows[RowUnfilter::kMostRowsAtOnce];
  for (int y = 0; y < s.Height;) {
    const std::uint8_t* raw = NextRawRow(s, m.stage, m.current, rawLength);
    std::size_t count = 0;
    for (;;) {
      types[count] = raw[0];
      rows[count] = PictureRow(s.Desc, y + int(count));
      PlaceInStore(s, raw, rawLength, rows[count]);
      ++count;
      // The rows after it of the same type that are inflated already come along.
      if (count == most || y + int(count) == s.Height) break;
      raw = PeekRawRow(m.stage, rawLength);
      if (raw == nullptr || raw[0] != types[0]) break;
      m.stage.pos += rawLength;
    }
    if (!m.unfilter.Rows(types, rows, count, prior, dataLength, m.filterBpp))
      ReaderFail("PNG LoadStream: not support Filter");
    prior = rows[count - 1];
    y += int(count);
  }
}

// The store's palette: a grey ramp, the file's PLTE, or the halftone palette for true
// colour without one.
void ChoosePalette(PngReadState& s) {
  if (s.IsGrey && s.Format.ImageBits <= 8) {
    const std::uint32_t depth = std::min<std::uint32_t>(s.BitDepth, 8);
    const std::uint32_t entries = 1u << depth;
    const std::uint32_t step = 255 / (entries - 1);
    for (std::uint32_t i = 0; i < entries; ++i) {
      const BYTE v = BYTE(i * step);
      s.PaletteTable[i] = RGBQUAD{v, v, v, 0};
    }
    s.PaletteCount = entries;
  } else if (s.Format.ImageBits <= 8) {
    if (!s.SeenPLTE || s.PLTECount < 1 || s.PLTECount > kMaxPaletteLength)
      ReaderFail("PNG Loadstream: error palette length");
    s.PaletteCount = s.PLTECount;
  } else {
    if (s.PLTECount == 0) {
      std::copy(HalftonePalette().begin(), HalftonePalette().end(), s.PaletteTable.begin());
      s.PLTECount = 256;
    }
    s.PaletteCount = s.PLTECount;
  }
}

void AllocateStore(PngReadState& s) {
  TVynDIBDesc fresh{};
  // A picture with alpha takes a 32-bit store. Asking the store for alpha would fill every
  // pixel with opaque black before any data is seen; the rows cover every pixel anyway, so
  // the store is made plain and given its alpha mode below.
  const int storeBits = s.HasAlpha ? 32 : int(s.Format.ImageBits);
  s.Target->AllocImage(fresh, s.Width, false, s.PaletteTable.data(), int(s.PaletteCount), storeBits,
                       s.Height);
  s.Desc = fresh;  // the reader's own fields follow
  if (s.AlphaCount > 0)
    std::memcpy(AlphaTable(s.Desc), s.AlphaTable.data(), std::size_t(s.AlphaCount));
  if (s.SeenPHYS) {
    s.Desc.UnitSpecifier = s.PhysUnit;
    s.Desc.WidthSpecific = int(s.PhysX);
    s.Desc.HeightSpecific = int(s.PhysY);
  } else {
    s.Desc.UnitSpecifier = s.Desc.WidthSpecific = s.Desc.HeightSpecific = 0;
  }
  s.Desc.Gamma = s.Gamma;
  s.Desc.TransValue = s.TransValue;
  s.Desc.BGValue = s.BGValue;
  s.Desc.AlphaCount = s.AlphaCount;
  // A 32-bit store has an alpha byte per pixel; the colour keys are the reader's.
  constexpr DWORD kKeyModes = kTransModeMask | kBGModeMask;
  s.Desc.KeyFlags =
      s.HasAlpha ? (DWORD(kAlphaModePixel) << kAlphaModeShift) | (s.ReaderKeyFlags & kKeyModes)
                 : s.ReaderKeyFlags;
}

// The raw bytes of all rows of all passes, filter bytes included.
std::uint64_t ImageDataBytes(const PngReadState& s) {
  std::uint64_t total = 0;
  for (int pass = 0; pass < (s.Interlace == 1 ? 7 : 1); ++pass) {
    const Adam7Pass p = s.Interlace == 1 ? kAdam7Passes[std::size_t(pass)] : Adam7Pass{0, 1, 0, 1};
    const std::int64_t pixels = Adam7Span(s.Width, p.firstColumn, p.columnStep);
    const std::int64_t rows = Adam7Span(s.Height, p.firstRow, p.rowStep);
    if (pixels == 0) continue;
    total += std::uint64_t(rows) * RawRowLength(s, pixels);
  }
  return total;
}

void AllocateRows(PngReadState& s, RowMachine& m) {
  const std::uint32_t widest = std::max(s.Format.PixelBits, s.Format.StoreBits);
  const std::size_t rowBytes = RequireRowBytes(s.Width, int(widest), kPackedRowAlignment);
  const std::size_t size =
      (std::max(rowBytes, std::size_t(s.Desc.LineSize)) + kRowSlack + 3) & ~std::size_t(3);
  for (auto& b : m.buffers) b.Resize(size);
  m.current = m.buffers[0].data();
  m.previous = m.buffers[1].data();
  m.converted = m.buffers[2].data();
  m.filterBpp = std::max<std::size_t>(1, (s.Format.PixelBits + 7) / 8);
  m.stage.remaining = ImageDataBytes(s);
}

// Reads the IDAT run ahead and inflates it in one call into a buffer of exactly the image
// data's size, from which the rows are then taken. Streams it does not take whole (bad data,
// data ending early or running on past the last row, a checksum that does not match) are left
// to the streaming path, which starts on the bytes read ahead, so failures and leniencies stay
// those of streaming. One difference remains: deflate data broken in ways zlib refuses but
// libdeflate decodes is decoded here, and the load goes on.
bool InflateWholeImageData(PngReadState& s, Staging& stage) {
  const std::uint64_t size = stage.remaining;
  if (size > s.Limits.MaxWholeInflateBytes) return false;
  stage.gathered.Gather(s, std::size_t(size + size / 4 + kReadAheadSlack));
  if (stage.gathered.size() * kMaxDeflateRatio < size) return false;
  stage.bytes.Resize(std::size_t(size));
  if (!InflateWhole(stage.gathered.data(), stage.gathered.size(), stage.bytes.data(), size))
    return false;
  stage.end = std::size_t(size);
  stage.remaining = 0;
  return true;
}

// Blocks for the streaming path: of whole rows where rows are all alike and fit, so rows
// seldom need gathering.
void StartStreaming(PngReadState& s, Staging& stage) {
  std::size_t stageSize = kStageSize;
  const std::size_t rawLength = RawRowLength(s, s.Width);
  if (s.Interlace != 1 && rawLength <= kStageSize) stageSize -= kStageSize % rawLength;
  stage.bytes.Resize(std::size_t(std::min<std::uint64_t>(stageSize, stage.remaining)));
  s.Inflater->SetChecksum(false);
}

}  // namespace

void HandleIDAT(PngReadState& s) {
  if (s.DoneIDAT) {
    // The rest of the compressed stream (its trailer) may follow in further IDAT chunks of
    // the same run; a second run of image data is an error.
    if (!s.InTrailingIDAT) ReaderFail("PNG LoadStream: appear two IDAT");
    return SkipChunkRest(s);
  }
  // Image data before IHDR has no format, and so no palette either.
  const SimdLevel level = UsableSimdLevel(s.Limits.MaxSimdLevel);
  if (!s.SeenIHDR ||
      !ChooseRowFormat(s.ColorKind, s.HasAlpha, s.BitDepth, s.Interlace == 1, level, s.Format))
    ReaderFail("PNG Loadstream: error palette length");
  s.PixelBits = s.Format.PixelBits;
  s.ImageBits = s.Format.ImageBits;
  // The colour samples without the alpha share: one of two samples for grey with alpha,
  // three of four for RGB with alpha.
  s.ColorBits = !s.HasAlpha                    ? s.PixelBits
                : s.ColorKind == kColorTypeRGB ? s.PixelBits / 4 * 3
                                               : s.PixelBits / 2;
  ChoosePalette(s);
  AllocateStore(s);
  RowMachine machine(level);
  AllocateRows(s, machine);
  if (!InflateWholeImageData(s, machine.stage)) StartStreaming(s, machine.stage);

  if (s.Interlace == 1) {
    for (const Adam7Pass& pass : kAdam7Passes) ReadPass(s, machine, pass);
  } else if (s.Format.BytesInPlace) {
    ReadRowsInStore(s, machine);
  } else {
    ReadPass(s, machine, Adam7Pass{0, 1, 0, 1});
  }
  // The picture is complete; the rest of this chunk (the stream's tail) is not needed.
  SkipChunkRest(s);
  s.Inflater->Reset();
  s.Inflater->SetChecksum(true);  // zTXt text is inflated whole, checksum included
  s.DoneIDAT = true;
  s.InTrailingIDAT = true;
}
