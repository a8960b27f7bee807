#include "png/png_text_chunks.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "png/chunks.h"
#include "png/png_text_gather.h"

namespace {

constexpr std::uint8_t kZTXtMethodDeflate = 0;
// Inflated text is taken out in pieces of this size.
constexpr std::size_t kTextPiece = 32767;

// Reads a text chunk's data, followed by one 0 byte so a key always ends. Data that could not
// fit in the gathered text is skipped unread. What is kept covers the key, its separator, the
// method byte and deflate's worst case (5 bytes per stored block of 65535, 6 of zlib framing),
// so a zTXt stream cut there still yields as much text as fits. Once the text is full, only
// what the key and separator checks need is kept.
std::vector<char> ReadTextChunk(ChunkCursor& chunk, std::size_t limit, const PngText& text) {
  const std::size_t room = text.Truncated ? 0 : limit;
  const std::size_t wanted = room + room / 8192 + kMaxKeywordLength + 16;
  const std::size_t length = std::min(std::size_t(chunk.Left()), wanted);
  std::vector<char> data(length + 1, '\0');
  chunk.Read(data.data(), std::uint32_t(length));
  chunk.SkipRest();
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
bool AppendHeader(PngText& text, std::string_view key, std::size_t limit) {
  text.Truncated = !AppendTextHeader(text.Bytes.bytes(), key, limit);
  return !text.Truncated;
}

void AppendBody(PngText& text, std::string_view body, std::size_t limit) {
  text.Truncated = !AppendTextBody(text.Bytes.bytes(), body, limit);
}

// The bytes the gathered text still has room for.
std::size_t TextRoom(const PngText& text, std::size_t limit) {
  const std::size_t used = text.Bytes.bytes().size();
  return used < limit ? limit - used : 0;
}

// Inflates a zTXt's compressed text, up to `wanted` bytes. The text ends at the first 0 byte
// (or the end of the stream); it is normalised as a whole, so a line break or a double-byte
// character that straddles two output pieces stays one.
std::string InflateText(InflateStream& inflater, const char* data, std::size_t size,
                        std::size_t wanted) {
  z_stream& z = inflater.Z();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  z.avail_in = uInt(size);
  std::vector<Bytef> piece(kTextPiece);
  std::string text;
  for (;;) {
    z.next_out = piece.data();
    z.avail_out = uInt(kTextPiece);
    const int result = inflate(&z, Z_NO_FLUSH);
    // No progress with all input used: the stream simply stops here.
    if (result == Z_BUF_ERROR && z.avail_in == 0) break;
    if (result != Z_OK && result != Z_STREAM_END) ReaderFail("PNG LoadStream: error ZLIB");
    const std::size_t produced = kTextPiece - z.avail_out;
    const std::string_view out(reinterpret_cast<const char*>(piece.data()), produced);
    const std::size_t zero = out.find('\0');
    text.append(out.substr(0, zero).substr(0, wanted - text.size()));
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

void HandleTEXT(ChunkCursor& chunk, std::size_t limit, PngText& text) {
  if (chunk.Left() == 0) ReaderFail("PNG LoadStream: error tEXt");
  const std::vector<char> data = ReadTextChunk(chunk, limit, text);
  const std::string_view key = TextKey(data);
  const std::size_t length = data.size() - 1;
  if (key.size() >= length) ReaderFail("PNG LoadStream: error textkey");  // no separator
  if (text.Truncated || !AppendHeader(text, key, limit)) return;
  AppendBody(text, std::string_view(data.data() + key.size() + 1, length - key.size() - 1), limit);
}

void HandleZTXT(ChunkCursor& chunk, InflateStream& inflater, std::size_t limit, PngText& text) {
  if (chunk.Left() == 0) ReaderFail("PNG LoadStream: error zEXt");
  const std::vector<char> data = ReadTextChunk(chunk, limit, text);
  const std::string_view key = TextKey(data);
  const std::size_t length = data.size() - 1;
  // The separator, the method byte and at least one byte of data.
  if (length - key.size() < 3) ReaderFail("PNG LoadStream: error textkey");
  if (std::uint8_t(data[key.size() + 1]) != kZTXtMethodDeflate)
    ReaderFail("PNG LoadStream: not support Compression");
  if (text.Truncated || !AppendHeader(text, key, limit)) return;
  InflaterResetGuard reset(inflater);
  const std::size_t start = key.size() + 2;
  // Normalising never shortens text, so one byte more than the room fills it and shows
  // whether its last character fits whole.
  AppendBody(text,
             InflateText(inflater, data.data() + start, length - start, TextRoom(text, limit) + 1),
             limit);
}
