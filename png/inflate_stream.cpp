#include "png/inflate_stream.h"

#include <cstdint>
#include <cstdlib>

#include "platform/exception.h"
#include "png/png_exceptions.h"

namespace {

// zlib initialises what it reads of its own memory, so it is not cleared first.
voidpf ZAlloc(voidpf, uInt items, uInt size) {
  if (size != 0 && items > SIZE_MAX / size) return nullptr;
  return std::malloc(std::size_t(items) * size);
}
void ZFree(voidpf, voidpf address) {
  std::free(address);
}

}  // namespace

InflateStream::InflateStream() {
  z_.zalloc = ZAlloc;
  z_.zfree = ZFree;
  const int result = inflateInit(&z_);
  if (result == Z_MEM_ERROR) OutOfMemoryError();
  if (result != Z_OK) throw EVynPNG("PNG LoadStream: ZLIB Error");
}

InflateStream::~InflateStream() {
  inflateEnd(&z_);
}
