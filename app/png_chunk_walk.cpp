#include "app/png_chunk_walk.h"

#include <cstdio>
#include <string>

#include "platform/byte_order.h"
#include "png/chunks.h"
#include "png/png_limits.h"

namespace {

constexpr std::uint64_t kChunkHeader = 8;  // length and type
constexpr std::uint64_t kChunkCrc = 4;

std::uint32_t BigEndian32(std::string_view bytes, std::uint64_t at) {
  return LoadBE32(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at);
}

bool SignatureAt(std::string_view bytes, std::uint64_t at) {
  const std::string_view signature(reinterpret_cast<const char*>(kPngSignature.data()),
                                   kPngSignature.size());
  return bytes.size() >= at + signature.size() && bytes.substr(at, signature.size()) == signature;
}

std::uint64_t FirstChunk(std::string_view bytes) {
  if (SignatureAt(bytes, 0)) return kPngSignature.size();
  if (SignatureAt(bytes, kPngLeadingBlockSize)) return kPngLeadingBlockSize + kPngSignature.size();
  return 0;
}

std::string FileEndsAt(std::size_t size) {
  return "file ends at byte " + std::to_string(size);
}

}  // namespace

PngChunkWalk WalkPngChunks(std::string_view bytes) {
  PngChunkWalk walk;
  walk.start = FirstChunk(bytes);
  if (walk.start == 0) return walk;
  for (std::uint64_t at = walk.start; at + kChunkHeader <= bytes.size();) {
    PngChunkSpan chunk{BigEndian32(bytes, at + 4), BigEndian32(bytes, at), at, 0};
    if (chunk.length > kMaxChunkLength) {
      chunk.end = chunk.DataOffset();  // the reader stops at the length
      walk.chunks.push_back(chunk);
      break;
    }
    const std::uint64_t data = chunk.type == kIHDR ? kIHDRLength : chunk.length;
    chunk.end = chunk.DataOffset() + data + kChunkCrc;
    walk.chunks.push_back(chunk);
    if (chunk.type == kIEND) break;
    at = chunk.end;
  }
  return walk;
}

std::string PngFileEnd(std::string_view bytes) {
  const PngChunkWalk walk = WalkPngChunks(bytes);
  const std::string ends = FileEndsAt(bytes.size());
  if (walk.start == 0)
    return ends + (bytes.size() < kPngSignature.size() ? " inside" : " before") +
           " the PNG signature";
  if (!walk.chunks.empty() && walk.chunks.back().end > bytes.size())
    return ends + " inside chunk " + ChunkTypeName(walk.chunks.back().type);
  const std::string after =
      walk.chunks.empty() ? "the signature" : "chunk " + ChunkTypeName(walk.chunks.back().type);
  const std::uint64_t boundary = walk.chunks.empty() ? walk.start : walk.chunks.back().end;
  if (bytes.size() > boundary) return ends + " inside the chunk header after " + after;
  return ends + " after " + after;
}

std::string ChunkTypeName(std::uint32_t type) {
  std::string name;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto c = static_cast<unsigned char>(type >> shift);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      name += char(c);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      name += escaped;
    }
  }
  return name;
}
