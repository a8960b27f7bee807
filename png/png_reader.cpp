// The PNG reader's loop: the signature, then each chunk handed to its handler until IEND.
#include "png/png_reader.h"

#include <algorithm>
#include <memory>

#include "png/chunks.h"
#include "png/png_chunk_handlers.h"
#include "png/png_chunk_stream.h"
#include "png/png_image_data.h"

namespace {

// Compressed input is read in blocks of this size.
constexpr std::size_t kInBufSize = 32768;
// A PNG stream may sit behind a leading block of exactly this many bytes.
constexpr std::int64_t kLeadingBlockSize = 256;

bool MatchesSignature(TStream& s) {
  std::uint8_t bytes[kPngSignature.size()];
  s.ReadBuffer(bytes, sizeof bytes);
  return std::equal(kPngSignature.begin(), kPngSignature.end(), bytes);
}

void ReadSignature(PngReadState& state) {
  if (MatchesSignature(*state.Source)) return;
  SkipBytes(*state.Source, kLeadingBlockSize - std::int64_t(kPngSignature.size()));
  if (!MatchesSignature(*state.Source)) ReaderFail("PNG LoadStream: Not PNG Format");
  state.Prefixed = true;
}

void RunHandler(PngReadState& state, std::uint32_t type) {
  switch (type) {
    case kIHDR:
      return HandleIHDR(state);
    case kPLTE:
      return HandlePLTE(state);
    case kIDAT:
      return HandleIDAT(state);
    case kIEND:
      return HandleIEND(state);
    case ktRNS:
      return HandleTRNS(state);
    case kbKGD:
      return HandleBKGD(state);
    case kgAMA:
      return HandleGAMA(state);
    case kpHYs:
      return HandlePHYS(state);
    case koFFs:
      return HandleOFFS(state);
    case ktEXt:
      return HandleTEXT(state);
    case kzTXt:
      return HandleZTXT(state);
    default:
      return SkipChunkRest(state);  // unknown chunks, critical or not, are skipped
  }
}

}  // namespace

PngReadState::PngReadState() : InBuf(kInBufSize) {}
PngReadState::~PngReadState() = default;

void PngLoadStream(PngReadState& state) {
  ReadSignature(state);
  state.Inflater = std::make_unique<InflateStream>();
  while (!state.SeenIEND) {
    state.ChunkLeft = ReadChunkLength(*state.Source);
    const std::uint32_t type = ReadU32(*state.Source);
    RunHandler(state, type);
    if (type != kIDAT) state.InTrailingIDAT = false;
    std::uint8_t crc[kChunkCRCSize];  // read, not checked
    state.Source->ReadBuffer(crc, sizeof crc);
  }
  state.Inflater.reset();
}
