// TUxPNG's load: the PNG reader fills a new store, which replaces the image's store only
// when the whole load has succeeded.
#include <memory>

#include "png/png_reader.h"
#include "png/ux_png.h"

namespace {

// The PNG file format code recorded in FInfoFormat.
constexpr int kInfoFormatPNG = 13;

}  // namespace

void TUxPNG::LoadFromStream(TStream& stream) {
  auto state = std::make_unique<PngReadState>();
  RefPtr<TVynCustomInternalDIB> store = CreateInternalDIB();
  state->Source = &stream;
  state->Target = store.get();
  state->Limits = ReadLimits;
  {
    // Until the store owns it, a failed load releases what the descriptor holds.
    TDIBDescGuard guard(*store, state->Desc);
    PngLoadStream(*state);
    guard.Attach();
  }
  ReplaceImage(std::move(store));

  const PngHeader& header = state->Header;
  FInfoText = state->Text.Bytes;
  textTruncated_ = state->Text.Truncated;
  FInfoOffsetX = state->Info.OffsetX;
  FInfoOffsetY = state->Info.OffsetY;
  FInfoPrefixed = state->Prefixed;
  FInfoInterlace = int(header.Interlace);
  FInfoWidth = header.Width;
  FInfoHeight = header.Height;
  FInfoColorBits = int(header.ColorBits());
  FInfoGrayscale = header.IsGrey ? 1 : 0;
  FInfoFormat = kInfoFormatPNG;
  Changed();
}
