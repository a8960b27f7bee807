#include "app/bmp_layout.h"

#include <algorithm>

#include "image/bmp_decode.h"
#include "image/bmp_limits.h"
#include "platform/byte_order.h"
#include "platform/win_types.h"

namespace {

constexpr std::uint32_t kSizeField = 4;  // the info header starts with its own size

// The header fields the layout needs, 0 where the header is too short to hold them.
struct HeaderFields {
  std::uint64_t start = 0;  // of the info header
  std::uint32_t size = 0;
  bool core = false;
  std::uint32_t bitCount = 0, compression = 0, colours = 0;
};

// A 2- or 4-byte little-endian field.
std::uint32_t Little(std::string_view bytes, std::uint64_t at, int count) {
  const auto* field = reinterpret_cast<const std::uint8_t*>(bytes.data()) + at;
  return count == 2 ? LoadLE16(field) : LoadLE32(field);
}

HeaderFields ReadFields(std::string_view bytes, std::uint64_t start) {
  HeaderFields h{start, Little(bytes, start, 4)};
  h.core = h.size == kBmpCoreHeaderSize;
  auto field = [&](std::uint32_t offset, int count) {
    return offset + count <= h.size ? Little(bytes, start + offset, count) : 0;
  };
  h.bitCount = h.core ? field(10, 2) : field(14, 2);
  if (h.core) return h;
  h.compression = field(16, 4);
  h.colours = field(32, 4);
  return h;
}

std::uint64_t MasksEnd(const HeaderFields& h) {
  const std::uint64_t headerEnd = h.start + h.size;
  if (h.core || h.size >= kBmpHeaderWithMasks) return headerEnd;
  if (h.compression == BI_BITFIELDS) return headerEnd + 12;
  return h.compression == BI_ALPHABITFIELDS ? headerEnd + 16 : headerEnd;
}

std::uint64_t TableEnd(const HeaderFields& h) {
  std::uint64_t colours = h.colours;
  if (colours == 0 && h.bitCount <= 8) colours = std::uint64_t(1) << h.bitCount;
  colours = std::min<std::uint64_t>(colours, kBmpMaxColorTableEntries);
  return MasksEnd(h) + colours * (h.core ? 3 : 4);
}

std::string Part(std::string_view bytes, std::uint64_t base) {
  const std::uint64_t size = bytes.size();
  const std::uint64_t header = base + kBmpFileHeaderSize;
  if (size < header) return "the file header";
  if (size < header + kSizeField) return "the info header";
  const HeaderFields h = ReadFields(bytes, header);
  if (size < header + h.size) return "the info header";
  if (size < MasksEnd(h)) return "the bit masks";
  if (size < TableEnd(h)) return "the colour table";
  return "the pixel data";
}

}  // namespace

std::uint64_t BmpStart(std::string_view bytes) {
  if (bytes.substr(0, 2) != "BM" && bytes.size() > kBmpLeadingBlockSize &&
      bytes.substr(kBmpLeadingBlockSize, 2) == "BM")
    return kBmpLeadingBlockSize;
  return 0;
}

std::string BmpFileEnd(std::string_view bytes) {
  return "file ends at byte " + std::to_string(bytes.size()) + " inside " +
         Part(bytes, BmpStart(bytes));
}
