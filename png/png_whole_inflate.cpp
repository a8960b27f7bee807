#include "png/png_whole_inflate.h"

#include <libdeflate.h>

#include <memory>

#include "platform/exception.h"

namespace {

struct FreeDecompressor {
  void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// A decompressor holds no state between calls but may serve one thread at a time; each thread
// keeps its own, so a load does not build one.
libdeflate_decompressor& ThreadDecompressor() {
  thread_local std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor;
  if (!decompressor) {
    decompressor.reset(libdeflate_alloc_decompressor());
    if (!decompressor) OutOfMemoryError();
  }
  return *decompressor;
}

}  // namespace

bool InflateWhole(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t size) {
  // Without a place for the written count, libdeflate refuses a stream that holds less.
  return libdeflate_zlib_decompress(&ThreadDecompressor(), in, inSize, out, size, nullptr) ==
         LIBDEFLATE_SUCCESS;
}
