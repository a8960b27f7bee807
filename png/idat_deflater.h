// One zlib stream cut into IDAT chunks: compressed bytes collect in one 32768-byte buffer
// that leaves as an IDAT each time it fills, so memory stays the same whatever the image size.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "png/chunk_writer.h"

// zlib levels for SaveSettings::Compression: 1 fastest, 2 smallest, else zlib's default.
int ZlibLevelFor(int compressionSetting);

class IdatDeflater {
 public:
  // Initialises the zlib stream (window 15, memory level 8, default strategy) with our own
  // allocation pair. Out of memory raises the platform's error; any other failure
  // "PNG SaveStream: error ZLIB".
  IdatDeflater(PngChunkWriter& chunks, int level);
  ~IdatDeflater();
  IdatDeflater(const IdatDeflater&) = delete;
  IdatDeflater& operator=(const IdatDeflater&) = delete;

  // Compresses all of data; a full buffer leaves at once as an IDAT of 32768 bytes.
  void Write(const std::uint8_t* data, std::size_t length);
  // Ends the zlib stream and writes the rest as the last IDAT.
  void Finish();

 private:
  // One deflate call into the free part of the buffer; returns zlib's result.
  int Deflate(int flush);
  void EmitBuffer();

  PngChunkWriter& chunks_;
  z_stream zs_{};
  bool live_ = false;
  std::unique_ptr<std::uint8_t[]> out_;
  std::size_t used_ = 0;
};
