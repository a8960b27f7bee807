// The PNG reader's loop: the signature, then each chunk, once the order rules allow it where it
// stands, handed to its handler until IEND.
#include "png/png_reader.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "png/chunks.h"
#include "png/inflate_stream.h"
#include "png/png_chunk_cursor.h"
#include "png/png_chunk_handlers.h"
#include "png/png_image_data.h"
#include "png/png_text_chunks.h"

namespace {

bool MatchesSignature(TStream& s) {
  std::uint8_t bytes[kPngSignature.size()];
  s.ReadBuffer(bytes, sizeof bytes);
  return std::equal(kPngSignature.begin(), kPngSignature.end(), bytes);
}

// Where a chunk may stand, and what a load fails with when it stands elsewhere. Chunks without
// a rule, IEND and unknown ones, may stand anywhere.
struct OrderRule {
  std::uint32_t type;
  bool afterHeader;      // only after IHDR
  bool beforeImageData;  // only before the image data
  bool once;             // at most once
  const char* message;
};

constexpr OrderRule kOrderRules[] = {
    {kIHDR, false, false, true, "PNG LoadStream: appear two IHDR"},
    {kPLTE, true, false, true, "PNG LoadStream: Error PLTE"},
    {ktRNS, true, true, true, "PNG LoadStream: error tRNS"},
    {kbKGD, true, true, true, "PNG LoadStream: error bKGD"},
    {kgAMA, true, true, true, "PNG LoadStream: error gAMA"},
    {kpHYs, true, true, true, "PNG LoadStream: error pHYs"},
    {koFFs, true, true, true, "PNG LoadStream: error oFFs"},
    {ktEXt, true, false, false, "PNG LoadStream: error tEXt"},
    {kzTXt, true, false, false, "PNG LoadStream: error zEXt"},
    // Image data before IHDR has no format, and so no palette either.
    {kIDAT, true, false, false, "PNG Loadstream: error palette length"},
};
static_assert(kOrderRules[0].type == kIHDR);

// The chunks met so far, as far as the order rules need them.
class ChunkOrder {
 public:
  // Raises the chunk's message when it may not stand here.
  void Check(std::uint32_t type) const {
    const OrderRule* rule = RuleOf(type);
    if (rule == nullptr) return;
    if ((rule->afterHeader && !seen_[0]) ||
        (rule->beforeImageData && phase_ != ImageDataPhase::kNotYet) ||
        (rule->once && seen_[Index(*rule)]))
      ReaderFail(rule->message);
  }

  // Records a chunk handled.
  void Handled(std::uint32_t type) {
    if (const OrderRule* rule = RuleOf(type)) seen_[Index(*rule)] = true;
    if (type == kIDAT) {
      if (phase_ == ImageDataPhase::kNotYet) phase_ = ImageDataPhase::kTail;
    } else if (phase_ == ImageDataPhase::kTail) {
      phase_ = ImageDataPhase::kDone;
    }
  }

  ImageDataPhase Phase() const { return phase_; }
  bool AfterImageData() const { return phase_ != ImageDataPhase::kNotYet; }

 private:
  static const OrderRule* RuleOf(std::uint32_t type) {
    const auto* rule = std::find_if(std::begin(kOrderRules), std::end(kOrderRules),
                                    [type](const OrderRule& r) { return r.type == type; });
    return rule == std::end(kOrderRules) ? nullptr : rule;
  }
  static std::size_t Index(const OrderRule& rule) { return std::size_t(&rule - kOrderRules); }

  std::array<bool, std::size(kOrderRules)> seen_{};  // seen_[0]: IHDR
  ImageDataPhase phase_ = ImageDataPhase::kNotYet;
};

// Runs the handler of the chunk the cursor stands in; false for IEND, which ends the load.
bool RunHandler(PngReadState& s, ChunkCursor& chunk, InflateStream& inflater,
                const ChunkOrder& order) {
  switch (chunk.Type()) {
    case kIHDR:
      HandleIHDR(chunk, s.Limits, s.Header);
      break;
    case kPLTE:
      HandlePLTE(chunk, order.AfterImageData(), s.Palette);
      break;
    case kIDAT:
      HandleIDAT(s, chunk, inflater, order.Phase());
      break;
    case kIEND:
      HandleIEND(chunk, order.AfterImageData());
      return false;
    case ktRNS:
      HandleTRNS(chunk, s.Header, s.Palette, s.Keys);
      break;
    case kbKGD:
      HandleBKGD(chunk, s.Header, s.Palette, s.Keys);
      break;
    case kgAMA:
      HandleGAMA(chunk, s.Info);
      break;
    case kpHYs:
      HandlePHYS(chunk, s.Info);
      break;
    case koFFs:
      HandleOFFS(chunk, s.Info);
      break;
    case ktEXt:
      HandleTEXT(chunk, s.Limits.MaxTextBytes, s.Text);
      break;
    case kzTXt:
      HandleZTXT(chunk, inflater, s.Limits.MaxTextBytes, s.Text);
      break;
    default:
      chunk.SkipRest();  // unknown chunks, critical or not, are skipped
      break;
  }
  return true;
}

}  // namespace

void PngLoadStream(PngReadState& state) {
  TStream& source = *state.Source;
  if (!MatchesSignature(source)) {
    source.Seek(std::int64_t(kPngLeadingBlockSize - kPngSignature.size()), TSeekOrigin::soCurrent);
    if (!MatchesSignature(source)) ReaderFail("PNG LoadStream: Not PNG Format");
    state.Prefixed = true;
  }
  InflateStream inflater;
  ChunkCursor chunk(source);
  ChunkOrder order;
  for (bool more = true; more;) {
    const std::uint32_t type = chunk.Begin();
    order.Check(type);
    more = RunHandler(state, chunk, inflater, order);
    order.Handled(type);
    chunk.End();
  }
}
