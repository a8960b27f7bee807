#include "png/png_writer.h"

#include <algorithm>
#include <new>

#include "image/dib_routines.h"
#include "image/internal_dib.h"
#include "platform/exception.h"
#include "platform/row_size.h"
#include "png/adam7.h"
#include "png/chunk_writer.h"
#include "png/chunks.h"
#include "png/idat_deflater.h"
#include "png/palette_reach.h"
#include "png/png_filters.h"
#include "png/png_row_gather.h"
#include "png/png_text_rule.h"

PngWriteState::PngWriteState() = default;
PngWriteState::~PngWriteState() = default;

void PngWriteState::Release() {
  Deflater.reset();  // deflateEnd
  Chunks.reset();
  Filter.reset();
  std::vector<std::uint8_t>().swap(PriorRow);
  std::vector<std::uint8_t>().swap(CurrentRow);
}

namespace {

constexpr COLORREF kMaxColor = 0x00FFFFFF;
constexpr bool HasColor(COLORREF c) {
  return c <= kMaxColor;
}

struct PngFormat {
  int bitDepth;
  int colorType;
};

PngFormat FormatFor(int bitCount) {
  switch (bitCount) {
    case 1:
      return {1, kColorTypePalette};
    case 4:
      return {4, kColorTypePalette};
    case 8:
      return {8, kColorTypePalette};
    case 24:
      return {8, kColorTypeRGB};
    case 32:
      return {8, kColorTypeRGBA};
    default:
      throw EQorPNG("PNG SaveStream: support BitCount");
  }
}

class HeaderWriter {
 public:
  HeaderWriter(PngWriteState& state, const PngWriteSource& source)
      : s_(state),
        src_(source),
        desc_(*source.Desc),
        chunks_(*state.Chunks),
        writtenPaletteSize_(WrittenPaletteSize()) {}

  void Write() {
    WriteIHDR();
    WriteText();
    WriteGamma();
    WriteOffset();
    WritePalette();
    WriteBackground();
    WriteTransparency();
    WritePhysical();
  }

 private:
  bool IsPaletteImage() const { return s_.BitsPerPixel <= 8; }

  // The palette as written: all PaletteCount entries, or for a palette image without a count
  // as many as its bit count can index.
  int PaletteSize() const {
    if (desc_.PaletteCount == 0 && IsPaletteImage()) return 1 << s_.BitsPerPixel;
    return desc_.PaletteCount;
  }
  bool WritesPalette() const {
    const int n = PaletteSize();
    return n >= 1 && n <= int(kMaxPaletteLength) && desc_.Palette != nullptr;
  }
  // The palette as written in PLTE: lengthened with black entries when the rows use indices
  // past it, since decoders disagree on what such pixels show.
  int WrittenPaletteSize() const {
    const int size = PaletteSize();
    if (!IsPaletteImage()) return size;
    const int indices = 1 << s_.BitsPerPixel;
    if (size >= indices) return size;
    return std::max(size,
                    HighestIndexUsed(desc_, s_.Left, s_.Top, s_.Width, s_.Height, indices - 1) + 1);
  }
  // The entry the image holds for a key, when the palette as written has it: a palette may
  // repeat a colour, and only that entry carries the key. Otherwise the nearest entry, searched
  // over the palette as written, so the index always names a written entry.
  int KeyIndex(int heldIndex, COLORREF color) const {
    if (heldIndex >= 0 && heldIndex < PaletteSize()) return heldIndex;
    return std::max(0, NearestPaletteIndex(desc_.Palette, PaletteSize(), color));
  }

  void WriteIHDR() {
    ChunkData d;
    d.U32(std::uint32_t(s_.Width)).U32(std::uint32_t(s_.Height));
    d.U8(std::uint8_t(s_.BitDepth)).U8(std::uint8_t(s_.ColorType));
    d.U8(0).U8(0);  // compression method, filter method
    d.U8(s_.Interlaced ? 1 : 0);
    chunks_.WriteChunk(kIHDR, d);
  }

  void WriteText() {
    for (const PngTextEntry& entry : PngTextEntries(src_.Text)) {
      ChunkData d;
      d.Bytes(entry.keyword.data(), entry.keyword.size()).U8(0);
      d.Bytes(entry.text.data(), entry.text.size());
      chunks_.WriteChunk(ktEXt, d);
    }
  }

  void WriteGamma() {
    if (desc_.Gamma == 0) return;
    chunks_.WriteChunk(kgAMA, ChunkData().U32(desc_.Gamma));
  }

  void WriteOffset() {
    if (s_.Left == 0 && s_.Top == 0) return;
    chunks_.WriteChunk(koFFs, ChunkData().I32(s_.Left).I32(s_.Top).U8(0));  // unit: pixels
  }

  void WritePalette() {
    if (!WritesPalette()) return;
    ChunkData d;
    for (int i = 0; i < PaletteSize(); ++i) {
      const RGBQUAD& e = desc_.Palette[i];
      d.U8(e.rgbRed).U8(e.rgbGreen).U8(e.rgbBlue);
    }
    d.Zeros(std::size_t(writtenPaletteSize_ - PaletteSize()) * 3);
    chunks_.WriteChunk(kPLTE, d);
  }

  void WriteBackground() {
    const COLORREF bg = src_.BGColor;
    if (IsPaletteImage()) {
      if (!HasColor(bg) || !WritesPalette()) return;
      chunks_.WriteChunk(kbKGD, ChunkData().U8(std::uint8_t(KeyIndex(src_.BGIndex, bg))));
      return;
    }
    if (HasColor(bg)) {
      chunks_.WriteChunk(kbKGD,
                         ChunkData().U16(GetRValue(bg)).U16(GetGValue(bg)).U16(GetBValue(bg)));
    } else if (s_.AlphaFlag) {
      chunks_.WriteChunk(kbKGD, ChunkData().Zeros(6));  // black
    }
  }

  void WriteTransparency() {
    const COLORREF trans = src_.TransColor;
    if (IsPaletteImage()) {
      if (!WritesPalette()) return;
      if (s_.AlphaFlag) {
        WriteAlphaTable();
      } else if (HasColor(trans)) {
        // Entries before the transparent one opaque, that one clear, the rest implied opaque.
        const int k = KeyIndex(src_.TransIndex, trans);
        ChunkData d;
        for (int i = 0; i < k; ++i) d.U8(255);
        chunks_.WriteChunk(ktRNS, d.U8(0));
      }
      return;
    }
    if (s_.BitsPerPixel == 24 && HasColor(trans))
      chunks_.WriteChunk(
          ktRNS, ChunkData().U16(GetRValue(trans)).U16(GetGValue(trans)).U16(GetBValue(trans)));
  }

  // A tRNS can hold at most one byte per palette entry and no fewer than one: an empty
  // table says nothing and is left out rather than written as an invalid chunk.
  void WriteAlphaTable() {
    const int count = std::min(desc_.AlphaCount, PaletteSize());
    if (count <= 0) return;
    chunks_.WriteChunk(ktRNS, AlphaTable(desc_), std::size_t(count));
  }

  void WritePhysical() {
    int x = src_.WidthSpecific, y = src_.HeightSpecific;
    std::uint8_t unit = 0;
    switch (src_.UnitSpecifier) {
      case 0:
        unit = kPhysUnitUnknown;
        break;
      case 1:
        unit = kPhysUnitMetre;
        break;
      case 2:
        x = DpiToPelsPerMeter(x);
        y = DpiToPelsPerMeter(y);
        unit = kPhysUnitMetre;
        break;
      default:
        return;
    }
    // The values are unsigned 31-bit in the file; a negative one has no meaning there.
    if (x <= 0 || y <= 0) return;
    chunks_.WriteChunk(kpHYs, ChunkData().U32(std::uint32_t(x)).U32(std::uint32_t(y)).U8(unit));
  }

  PngWriteState& s_;
  const PngWriteSource& src_;
  const TVynDIBDesc& desc_;
  PngChunkWriter& chunks_;
  const int writtenPaletteSize_;
};

void SetUpPass(PngWriteState& s, int pass) {
  s.Pass = pass;
  s.PassRow = 0;
  if (s.Interlaced) {
    s.PassFirstColumn = kAdam7Passes[pass].firstColumn;
    s.PassColumnStep = kAdam7Passes[pass].columnStep;
    s.PassPixels = Adam7PassColumns(pass, s.Width);
  } else {
    s.PassFirstColumn = 0;
    s.PassColumnStep = 1;
    s.PassPixels = s.Width;
  }
  // Each pass starts against a row of zeros.
  const std::size_t length = RequireRowBytes(s.PassPixels, s.BitsPerPixel, kPackedRowAlignment) + 1;
  std::fill_n(s.PriorRow.begin(), length, 0);
  std::fill_n(s.CurrentRow.begin(), length, 0);
}

// Rows of a large image come from memory, not cache, and run downwards in memory, where the
// hardware's stream detection is slow to start; ask for the next row while this one is
// filtered and compressed.
void PrefetchRow(const BYTE* row, std::size_t begin, std::size_t end) {
  constexpr std::size_t kCacheLine = 64;
  for (std::size_t offset = begin; offset < end; offset += kCacheLine)
    __builtin_prefetch(row + offset);
}

void WritePass(PngWriteState& s, const TVynDIBDesc& desc) {
  const std::size_t n = RequireRowBytes(s.PassPixels, s.BitsPerPixel, kPackedRowAlignment);
  const std::size_t bpp = std::size_t(s.BitsPerPixel + 7) / 8;
  const std::size_t usedBegin = std::size_t(s.Left) * std::size_t(s.BitsPerPixel) / 8;
  const std::size_t usedEnd =
      RequireRowBytes(std::int64_t(s.Left) + s.Width, s.BitsPerPixel, kPackedRowAlignment);
  for (int r = 0; r < s.Height; ++r) {
    if (s.Interlaced && !Adam7TakesRow(s.Pass, r)) continue;
    const BYTE* row = s.FirstRow - std::ptrdiff_t(r) * desc.LineSize;
    if (!s.Interlaced && r + 1 < s.Height) PrefetchRow(row - desc.LineSize, usedBegin, usedEnd);
    s.Gather.Gather(row, s.BitsPerPixel, std::int64_t(s.Left) + s.PassFirstColumn, s.PassColumnStep,
                    s.PassPixels, s.CurrentRow.data() + 1);
    const std::uint8_t* filtered =
        s.Filter->Apply(s.CurrentRow.data(), s.PriorRow.data() + 1, n, bpp);
    s.Deflater->Write(filtered, n + 1);
    s.PriorRow.swap(s.CurrentRow);
    ++s.PassRow;
  }
}

void WriteImageBody(PngWriteState& s, const PngWriteSource& source, int left, int top, int width,
                    int height, const SaveSettings& settings) {
  const TVynDIBDesc& desc = *source.Desc;
  if (width == 0 || height == 0) {
    left = top = 0;
    width = desc.Width;
    height = desc.Height;
  }
  s.Left = left;
  s.Top = top;
  s.Width = width;
  s.Height = height;
  s.FirstRow = PictureRow(desc, top);

  s.Interlaced = settings.Interlace == 1;
  s.LastPass = s.Interlaced ? 6 : 0;
  s.ZlibLevel = ZlibLevelFor(settings.Compression);

  const PngFormat format = FormatFor(desc.BitCount);
  s.BitDepth = format.bitDepth;
  s.ColorType = format.colorType;
  s.BitsPerPixel = desc.BitCount;
  s.AlphaFlag = source.AlphaFlag;

  // Sized for a full-width row, which holds the row of every pass.
  const std::size_t maxData = RequireRowBytes(width, s.BitsPerPixel, kPackedRowAlignment);
  s.RowLength = maxData + 1;
  s.PriorRow.assign(s.RowLength, 0);
  s.CurrentRow.assign(s.RowLength, 0);
  const SimdLevel level = UsableSimdLevel(s.MaxSimdLevel);
  s.Gather = RowGather(level);
  s.Filter = std::make_unique<PngRowFilter>(settings.Filter, maxData, level);
  s.Chunks = std::make_unique<PngChunkWriter>(*s.Stream);
  s.Deflater = std::make_unique<IdatDeflater>(*s.Chunks, s.ZlibLevel);

  s.Chunks->WriteSignature();
  HeaderWriter(s, source).Write();
  for (int pass = 0; pass <= s.LastPass; ++pass) {
    if (s.Interlaced && Adam7PassIsEmpty(pass, width, height)) continue;
    SetUpPass(s, pass);
    WritePass(s, desc);
  }
  s.Deflater->Finish();
  s.Chunks->WriteChunk(kIEND, nullptr, 0);
}

}  // namespace

void PngWriteImage(PngWriteState& state, const PngWriteSource& source, int left, int top, int width,
                   int height, const SaveSettings* settings) {
  struct ReleaseOnExit {
    PngWriteState& state;
    ~ReleaseOnExit() { state.Release(); }
  } release{state};
  try {
    WriteImageBody(state, source, left, top, width, height, settings ? *settings : SaveSettings{});
  } catch (const std::bad_alloc&) {
    OutOfMemoryError();
  }
}
