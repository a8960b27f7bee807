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

  FInfoText = state->Text;
  textTruncated_ = state->TextFull;
  FInfoOffsetX = state->OffsetX;
  FInfoOffsetY = state->OffsetY;
  FInfoPrefixed = state->Prefixed;
  FInfoInterlace = int(state->Interlace);
  FInfoWidth = state->Width;
  FInfoHeight = state->Height;
  FInfoColorBits = int(state->ColorBits);
  FInfoGrayscale = state->IsGrey ? 1 : 0;
  FInfoFormat = kInfoFormatPNG;
  Changed();
}
