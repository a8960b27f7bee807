// The one inflate stream of a PNG load, used for the image data and for every zTXt chunk.
#pragma once

#include <zlib.h>

// Ended whatever way the load ends.
class InflateStream {
 public:
  InflateStream();  // raises the out-of-memory error or "PNG LoadStream: ZLIB Error"
  ~InflateStream();
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;

  z_stream& Z() { return z_; }
  // Ready for a new stream. Input a stream left unread (a text stopped early) is dropped too:
  // it belongs to a chunk whose buffer is gone.
  void Reset() {
    inflateReset(&z_);
    z_.next_in = nullptr;
    z_.avail_in = 0;
  }
  // Whether inflate computes and checks the stream's Adler-32 checksum. The image data stops
  // at its last row, before the checksum, so computing it there is wasted work.
  void SetChecksum(bool on) { inflateValidate(&z_, on ? 1 : 0); }

 private:
  z_stream z_{};
};
