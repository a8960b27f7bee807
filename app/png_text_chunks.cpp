#include "app/png_text_chunks.h"

#include <algorithm>
#include <string>

#include "png/chunks.h"
#include "png/inflate_stream.h"
#include "png/png_limits.h"

namespace {

constexpr std::size_t kInflatePiece = std::size_t(1) << 16;

// As much of the zlib stream in data as inflates cleanly, up to its first 0 byte and at most
// room bytes.
std::string InflateText(std::string_view data, std::size_t room) {
  InflateStream inflater;
  z_stream& z = inflater.Z();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = uInt(data.size());
  std::string text;
  char piece[kInflatePiece];
  while (text.size() < room) {
    z.next_out = reinterpret_cast<Bytef*>(piece);
    z.avail_out = uInt(std::min(sizeof piece, room - text.size()));
    const int result = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = std::size_t(reinterpret_cast<char*>(z.next_out) - piece);
    const std::string_view out(piece, produced);
    text.append(out.substr(0, out.find('\0')));
    if (out.find('\0') != std::string_view::npos || result != Z_OK || produced == 0) break;
  }
  return text;
}

std::string_view UpToZero(std::string_view bytes) {
  return bytes.substr(0, bytes.find('\0'));
}

// A chunk's data as far as the file holds it.
std::string_view DataOf(std::string_view bytes, const PngChunkSpan& chunk) {
  return bytes.substr(std::min<std::uint64_t>(chunk.DataOffset(), bytes.size()), chunk.length);
}

}  // namespace

std::vector<TextFact> ReadPngTextChunks(std::string_view bytes, const PngChunkWalk& walk) {
  std::vector<TextFact> entries;
  std::size_t room = kMaxTextBytes;
  for (const PngChunkSpan& chunk : walk.chunks) {
    if (chunk.type != ktEXt && chunk.type != kzTXt) continue;
    const std::string_view data = DataOf(bytes, chunk);
    const std::size_t separator = data.find('\0');
    if (separator == std::string_view::npos) continue;  // the reader refuses it
    if (separator > room) break;
    TextFact entry{std::string(data.substr(0, separator)), {}};
    room -= separator;
    const std::string_view rest = data.substr(separator + 1);
    if (chunk.type == ktEXt) {
      entry.text = UpToZero(rest).substr(0, room);
    } else if (!rest.empty() && rest[0] == 0) {  // deflate, the one method
      entry.text = InflateText(rest.substr(1), room);
    }
    room -= entry.text.size();
    entries.push_back(std::move(entry));
  }
  return entries;
}
