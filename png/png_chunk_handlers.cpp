#include "png/png_chunk_handlers.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "png/chunks.h"
#include "png/png_chunk_stream.h"
#include "png/png_text_gather.h"

namespace {

constexpr std::uint32_t kLengthTRNSGrey = 2, kLengthTRNSRGB = 6;
constexpr std::uint32_t kLengthBKGDGrey = 2, kLengthBKGDRGB = 6, kLengthBKGDPalette = 1;
constexpr std::int32_t kLengthGAMA = 4, kLengthPHYS = 9, kLengthOFFS = 9;
constexpr std::uint8_t kOffsetUnitPixel = 0;
constexpr std::uint8_t kZTXtMethodDeflate = 0;
// Inflated text is taken out of InBuf in pieces of this size.
constexpr std::size_t kTextPiece = 32767;

void SetTransMode(PngReadState& s, DWORD mode) {
  s.ReaderKeyFlags = (s.ReaderKeyFlags & ~kTransModeMask) | mode;
}
void SetBGMode(PngReadState& s, DWORD mode) {
  s.ReaderKeyFlags = (s.ReaderKeyFlags & ~kBGModeMask) | (mode << kBGModeShift);
}
void SetAlphaMode(PngReadState& s, int mode) {
  s.ReaderKeyFlags = (s.ReaderKeyFlags & ~kAlphaModeMask) | (DWORD(mode) << kAlphaModeShift);
}

// Entries of the grey ramp a grey image gets as its palette: a grey level at or beyond it
// names no pixel, so a colour key with such a level can never match and is dropped.
std::uint32_t GreyRampEntries(std::uint32_t bitDepth) {
  return bitDepth >= 8 ? 256u : 1u << bitDepth;
}

// A 16-bit grey sample in the image's scale: 16-bit images keep the high byte.
std::uint32_t GreyLevel(const PngReadState& s, std::uint16_t v) {
  return s.BitDepth > 8 ? std::uint32_t(v >> 8) : v;
}

// Three 16-bit samples as a COLORREF: the low bytes for 8-bit images, the high bytes for
// 16-bit ones.
DWORD ReadColorRef(PngReadState& s) {
  const int shift = s.BitDepth == 16 ? 8 : 0;
  const DWORD red = (ReadChunkU16(s) >> shift) & 0xFF;
  const DWORD green = (ReadChunkU16(s) >> shift) & 0xFF;
  const DWORD blue = (ReadChunkU16(s) >> shift) & 0xFF;
  return red | green << 8 | blue << 16;
}

// The gate shared by the chunks that describe the image data: after IHDR, before IDAT.
bool BeforeImageData(const PngReadState& s) {
  return s.SeenIHDR && !s.DoneIDAT;
}

// Reads a text chunk's data, followed by one 0 byte so a key always ends. Data that could
// not fit in the gathered text is skipped unread. What is kept covers the key, its separator,
// the method byte and deflate's worst case (5 bytes per stored block of 65535, 6 of zlib
// framing), so a zTXt stream cut there still yields as much text as fits. Once the text is
// full, only what the key and separator checks need is kept.
std::vector<char> ReadTextChunk(PngReadState& s) {
  const std::size_t limit = s.TextFull ? 0 : s.Limits.MaxTextBytes;
  const std::size_t wanted = limit + limit / 8192 + kMaxKeywordLength + 16;
  const std::size_t length = std::min(std::size_t(s.ChunkLeft), wanted);
  std::vector<char> data(length + 1, '\0');
  ReadChunkData(s, data.data(), std::uint32_t(length));
  SkipChunkRest(s);
  return data;
}

// The key of a text chunk: the bytes before the first 0, 1 to 79 of them.
std::string_view TextKey(const std::vector<char>& data) {
  const std::size_t length = std::strlen(data.data());
  if (length < 1 || length > kMaxKeywordLength) ReaderFail("PNG LoadStream: error textkey");
  return std::string_view(data.data(), length);
}

// Once something did not fit, the text is full: later chunks add nothing to it, though they
// are still checked.
bool AppendHeader(PngReadState& s, std::string_view key) {
  s.TextFull = !AppendTextHeader(s.Text.bytes(), key, s.Limits.MaxTextBytes);
  return !s.TextFull;
}

void AppendBody(PngReadState& s, std::string_view text) {
  s.TextFull = !AppendTextBody(s.Text.bytes(), text, s.Limits.MaxTextBytes);
}

// The bytes the gathered text still has room for.
std::size_t TextRoom(const PngReadState& s) {
  const std::size_t used = s.Text.bytes().size();
  return used < s.Limits.MaxTextBytes ? s.Limits.MaxTextBytes - used : 0;
}

// Inflates a zTXt's compressed text, up to `wanted` bytes. The text ends at the first 0 byte
// (or the end of the stream); it is normalised as a whole, so a line break or a double-byte
// character that straddles two output pieces stays one.
std::string InflateText(PngReadState& s, const char* data, std::size_t size, std::size_t wanted) {
  z_stream& z = s.Inflater->Z();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  z.avail_in = uInt(size);
  std::string text;
  for (;;) {
    z.next_out = s.InBuf.data();
    z.avail_out = uInt(kTextPiece);
    const int result = inflate(&z, Z_NO_FLUSH);
    // No progress with all input used: the stream simply stops here.
    if (result == Z_BUF_ERROR && z.avail_in == 0) break;
    if (result != Z_OK && result != Z_STREAM_END) ReaderFail("PNG LoadStream: error ZLIB");
    const std::size_t produced = kTextPiece - z.avail_out;
    const std::string_view piece(reinterpret_cast<const char*>(s.InBuf.data()), produced);
    const std::size_t zero = piece.find('\0');
    const std::string_view kept = piece.substr(0, zero);
    text.append(kept.substr(0, wanted - text.size()));
    if (zero != std::string_view::npos || result == Z_STREAM_END || text.size() == wanted) break;
    if (z.avail_in == 0 && z.avail_out > 0) break;
  }
  return text;
}

// Resets the inflater whichever way a zTXt chunk ends, so the image data starts afresh.
class InflaterResetGuard {
 public:
  explicit InflaterResetGuard(InflateStream& inflater) : inflater_(inflater) {}
  ~InflaterResetGuard() { inflater_.Reset(); }
  InflaterResetGuard(const InflaterResetGuard&) = delete;
  InflaterResetGuard& operator=(const InflaterResetGuard&) = delete;

 private:
  InflateStream& inflater_;
};

}  // namespace

void HandleIHDR(PngReadState& s) {
  if (s.SeenIHDR) ReaderFail("PNG LoadStream: appear two IHDR");
  // IHDR is read as 13 bytes whatever its length says; the chunk loop then takes the CRC.
  s.Width = std::int32_t(ReadU32(*s.Source));
  s.Height = std::int32_t(ReadU32(*s.Source));
  std::uint8_t bytes[5];
  s.Source->ReadBuffer(bytes, sizeof bytes);
  s.ChunkLeft = 0;
  s.BitDepth = bytes[0];
  const std::uint32_t colorType = bytes[1] & 7u;  // only the low three bits count
  if (colorType == 1 || colorType == 5 || colorType == 7)
    ReaderFail("PNG LoadStream: Error ColorType");
  s.HasAlpha = (colorType & 4) != 0;
  s.ColorKind = colorType & 3;
  switch (s.ColorKind) {
    case kColorTypeGray:
      if (s.BitDepth != 1 && s.BitDepth != 2 && s.BitDepth != 4 && s.BitDepth != 8 &&
          s.BitDepth != 16)
        ReaderFail("PNG LoadStream: Error Bitdepth");
      if (s.HasAlpha && s.BitDepth < 8) ReaderFail("PNG LoadStream: not Use AlphaChannel");
      s.IsGrey = true;
      break;
    case kColorTypeRGB:
      if (s.BitDepth != 8 && s.BitDepth != 16) ReaderFail("PNG LoadStream: Error BitDepth");
      break;
    default:  // palette
      if (s.BitDepth != 1 && s.BitDepth != 2 && s.BitDepth != 4 && s.BitDepth != 8)
        ReaderFail("PNG LoadStream: Error BitDepth");
      s.IsPalette = true;
      break;
  }
  s.Compression = bytes[2];
  s.FilterMethod = bytes[3];
  s.Interlace = bytes[4];
  if (s.Compression > 1) ReaderFail("PNG LoadStream: not support Compression");
  if (s.FilterMethod > 1) ReaderFail("PNG LoadStream: not supprt Filter");
  if (s.Interlace > 1) ReaderFail("PNG LoadStream: not interlace type");
  // The file decides the image's size, so the size is checked here, long before anything
  // is allocated for it.
  if (s.Width <= 0 || s.Height <= 0 || s.Width > kMaxImageDimension ||
      s.Height > kMaxImageDimension)
    ReaderFail("PNG LoadStream: Error Width or Height");
  if (std::int64_t(s.Width) * s.Height > s.Limits.MaxPixels)
    ReaderFail("PNG LoadStream: image too large");
  s.SeenIHDR = true;
}

void HandlePLTE(PngReadState& s) {
  if (!s.SeenIHDR || s.SeenPLTE) ReaderFail("PNG LoadStream: Error PLTE");
  if (s.ChunkLeft % 3 != 0) ReaderFail("PNG LoadStream: palettesize error");
  const std::uint32_t count = std::uint32_t(s.ChunkLeft) / 3;
  if (count > kMaxPaletteLength) ReaderFail("PNG LoadStream: palette length over");
  std::uint8_t rgb[kMaxPaletteLength * 3];
  ReadChunkData(s, rgb, count * 3);
  // After the image data a PLTE is still read but changes nothing.
  if (!s.DoneIDAT) {
    for (std::uint32_t i = 0; i < count; ++i)
      s.PaletteTable[i] = RGBQUAD{rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 0};
    s.PLTECount = count;
  }
  s.SeenPLTE = true;
}

void HandleTRNS(PngReadState& s) {
  if (!BeforeImageData(s) || s.SeenTRNS) ReaderFail("PNG LoadStream: error tRNS");
  s.SeenTRNS = true;
  // Images with an alpha channel carry their own transparency.
  if (s.HasAlpha) return SkipChunkRest(s);
  switch (s.ColorKind) {
    case kColorTypeGray: {
      if (s.ChunkLeft != kLengthTRNSGrey) ReaderFail("PNG LoadStream: error TransColor");
      const std::uint32_t level = GreyLevel(s, ReadChunkU16(s));
      if (level < GreyRampEntries(s.BitDepth)) {
        s.TransValue = level;  // the grey level is the index into the grey ramp
        SetTransMode(s, kKeyModeIndex);
      }
      break;
    }
    case kColorTypeRGB:
      if (s.ChunkLeft != kLengthTRNSRGB) ReaderFail("PNG LoadStream: error TransColor");
      s.TransValue = ReadColorRef(s);
      SetTransMode(s, kKeyModeColor);
      break;
    default:  // palette: one alpha value per entry, at most one per entry there is
      if (std::uint32_t(s.ChunkLeft) > s.PLTECount) ReaderFail("PNG LoadStream: error TransColor");
      s.AlphaCount = s.ChunkLeft;
      ReadChunkData(s, s.AlphaTable.data(), std::uint32_t(s.ChunkLeft));
      SetTransMode(s, kKeyModeNone);
      SetAlphaMode(s, kAlphaModeTable);
      break;
  }
}

void HandleBKGD(PngReadState& s) {
  if (!BeforeImageData(s) || s.SeenBKGD) ReaderFail("PNG LoadStream: error bKGD");
  switch (s.ColorKind) {
    case kColorTypeGray: {
      if (s.ChunkLeft != kLengthBKGDGrey) ReaderFail("PNG LoadStream: error BGColor");
      const std::uint32_t level = GreyLevel(s, ReadChunkU16(s));
      if (s.HasAlpha) {
        // A grey-with-alpha image is stored as 32-bit colour: the grey becomes a colour.
        const DWORD v = level & 0xFF;
        s.BGValue = v | v << 8 | v << 16;
        SetBGMode(s, kKeyModeColor);
      } else if (level < GreyRampEntries(s.BitDepth)) {
        s.BGValue = level;
        SetBGMode(s, kKeyModeIndex);
      }
      break;
    }
    case kColorTypeRGB:
      if (s.ChunkLeft != kLengthBKGDRGB) ReaderFail("PNG LoadStream: error BGColor");
      s.BGValue = ReadColorRef(s);
      SetBGMode(s, kKeyModeColor);
      break;
    default:
      if (s.ChunkLeft != kLengthBKGDPalette) ReaderFail("PNG LoadStream: error BGColor");
      s.BGValue = ReadChunkU8(s);
      if (s.BGValue >= s.PLTECount) ReaderFail("PNG LoadStream: error BGColorIndex");
      SetBGMode(s, kKeyModeIndex);
      break;
  }
  s.SeenBKGD = true;
}

void HandleGAMA(PngReadState& s) {
  if (!BeforeImageData(s) || s.ChunkLeft != kLengthGAMA || s.SeenGAMA)
    ReaderFail("PNG LoadStream: error gAMA");
  s.Gamma = ReadChunkU32(s);  // gamma × 100000, as stored
  s.SeenGAMA = true;
}

void HandlePHYS(PngReadState& s) {
  if (!BeforeImageData(s) || s.ChunkLeft != kLengthPHYS || s.SeenPHYS)
    ReaderFail("PNG LoadStream: error pHYs");
  s.PhysX = ReadChunkU32(s);
  s.PhysY = ReadChunkU32(s);
  s.PhysUnit = ReadChunkU8(s);
  s.SeenPHYS = true;
}

void HandleOFFS(PngReadState& s) {
  if (!BeforeImageData(s) || s.ChunkLeft != kLengthOFFS || s.SeenOFFS)
    ReaderFail("PNG LoadStream: error oFFs");
  const std::int32_t x = std::int32_t(ReadChunkU32(s));
  const std::int32_t y = std::int32_t(ReadChunkU32(s));
  // Only offsets in pixels mean anything to the image.
  if (ReadChunkU8(s) == kOffsetUnitPixel) {
    s.OffsetX = x;
    s.OffsetY = y;
  }
  s.SeenOFFS = true;
}

void HandleTEXT(PngReadState& s) {
  if (!s.SeenIHDR || s.ChunkLeft <= 0) ReaderFail("PNG LoadStream: error tEXt");
  const std::vector<char> data = ReadTextChunk(s);
  const std::string_view key = TextKey(data);
  const std::size_t length = data.size() - 1;
  if (key.size() >= length) ReaderFail("PNG LoadStream: error textkey");  // no separator
  if (s.TextFull || !AppendHeader(s, key)) return;
  AppendBody(s, std::string_view(data.data() + key.size() + 1, length - key.size() - 1));
}

void HandleZTXT(PngReadState& s) {
  if (!s.SeenIHDR || s.ChunkLeft <= 0) ReaderFail("PNG LoadStream: error zEXt");
  const std::vector<char> data = ReadTextChunk(s);
  const std::string_view key = TextKey(data);
  const std::size_t length = data.size() - 1;
  // The separator, the method byte and at least one byte of data.
  if (length - key.size() < 3) ReaderFail("PNG LoadStream: error textkey");
  if (std::uint8_t(data[key.size() + 1]) != kZTXtMethodDeflate)
    ReaderFail("PNG LoadStream: not support Compression");
  if (s.TextFull || !AppendHeader(s, key)) return;
  InflaterResetGuard reset(*s.Inflater);
  const std::size_t start = key.size() + 2;
  // Normalising never shortens text, so one byte more than the room fills it and shows
  // whether its last character fits whole.
  AppendBody(s, InflateText(s, data.data() + start, length - start, TextRoom(s) + 1));
}

void HandleIEND(PngReadState& s) {
  s.SeenIEND = true;
  if (s.ChunkLeft != 0) ReaderFail("PNG LoadStream: error IEND size");
  // A file without image data has no picture to show; loading it as an image without
  // pixels would report a failure as success.
  if (!s.DoneIDAT) ReaderFail("PNG LoadStream: no image data");
}
