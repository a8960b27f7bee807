#include "app/image_facts.h"

#include "app/bmp_header_load.h"
#include "app/bmp_layout.h"
#include "app/image_file.h"
#include "app/png_chunk_walk.h"
#include "app/png_header_load.h"
#include "app/png_text_chunks.h"
#include "image/custom_dib.h"
#include "png/ux_png.h"

namespace {

std::optional<ColourKeyFact> ColourKey(COLORREF colour, int index) {
  if (colour > 0x00FFFFFF) return std::nullopt;  // the library's "no colour"
  return ColourKeyFact{colour, index};
}

const char* AlphaName(int mode) {
  switch (mode) {
    case kAlphaModeTable:
      return "table";
    case kAlphaModePixel:
      return "pixel";
    default:
      return "none";
  }
}

const char* ResolutionUnit(int unitSpecifier) {
  return unitSpecifier == 1 ? "metre" : unitSpecifier == 2 ? "inch" : "none";
}

// The colour model of the file as stored: for a PNG what its header said, for a BMP what the
// image holds.
void AddColourType(TVynCustomDIB& image, const TVynCustomInternalDIB& store, ImageFacts& facts) {
  const bool alpha = store.GetAlphaMode() == kAlphaModePixel;
  const bool png = dynamic_cast<TUxPNG*>(&image) != nullptr;
  const int bits = png ? image.FInfoColorBits : store.BitCount();
  if (png && image.FInfoGrayscale) {
    facts.colourType = alpha ? "grey+alpha" : "grey";
    facts.bitDepth = bits;
  } else if (bits <= 8) {
    facts.colourType = "palette";
    facts.bitDepth = bits;
    facts.paletteSize = store.PaletteCount();
  } else {
    facts.colourType = alpha ? "rgb+alpha" : "rgb";
    facts.bitDepth = png ? bits / 3 : 8;
  }
}

// What the loaded image holds, its size aside.
void AddImageFacts(TVynCustomDIB& image, ImageFacts& facts) {
  const TVynCustomInternalDIB& store = *image.Image();
  const TVynDIBDesc& desc = store.Desc();
  facts.format = dynamic_cast<TUxPNG*>(&image) != nullptr ? "PNG" : "BMP";
  facts.bitCount = store.BitCount();
  AddColourType(image, store, facts);
  facts.interlaced = image.FInfoInterlace != 0;
  facts.transparent = ColourKey(store.TransColor(), store.TransIndex());
  facts.background = ColourKey(store.BGColor(), store.BGIndex());
  facts.alpha = AlphaName(store.GetAlphaMode());
  facts.resolutionX = desc.WidthSpecific;
  facts.resolutionY = desc.HeightSpecific;
  facts.resolutionUnit = ResolutionUnit(desc.UnitSpecifier);
  facts.gamma = desc.Gamma;
  facts.offsetX = image.FInfoOffsetX;
  facts.offsetY = image.FInfoOffsetY;
  facts.leadingBlock = image.FInfoPrefixed;
}

ImageFacts VerifiedFacts(ImageInput& input) {
  const std::unique_ptr<TVynCustomDIB> image = input.Load();
  ImageFacts facts;
  AddImageFacts(*image, facts);
  facts.width = image->Image()->Width();
  facts.height = image->Image()->Height();
  return facts;
}

ImageFacts PngFacts(ImageInput& input, const PngChunkWalk& walk) {
  TUxPNG image;
  const PngStatedSize size =
      input.Explaining([&] { return LoadPngWithoutPixels(input.Bytes(), walk, image); });
  ImageFacts facts;
  AddImageFacts(image, facts);
  facts.width = size.width;
  facts.height = size.height;
  return facts;
}

ImageFacts BmpFacts(ImageInput& input) {
  TVynCustomDIB image;
  const BmpStatedSize size =
      input.Explaining([&] { return LoadBmpWithoutPixels(input.Stream(), image); });
  ImageFacts facts;
  AddImageFacts(image, facts);
  facts.width = size.width;
  facts.height = size.height;
  if (size.alphaFromPixels) {
    facts.colourType.reset();
    facts.alpha.reset();
  }
  return facts;
}

bool StartsAsBmp(std::string_view bytes) {
  return bytes.starts_with("BM") || BmpStart(bytes) != 0;
}

}  // namespace

ImageFacts GatherImageFacts(ImageInput& input, bool verify) {
  if (!input.IsPng()) {
    // A file that is no BMP at all is left to the reader to refuse.
    if (verify || !StartsAsBmp(input.Bytes())) return VerifiedFacts(input);
    return BmpFacts(input);
  }
  const PngChunkWalk walk = WalkPngChunks(input.Bytes());
  ImageFacts facts = verify || walk.start == 0 ? VerifiedFacts(input) : PngFacts(input, walk);
  facts.text = ReadPngTextChunks(input.Bytes(), walk);
  for (const PngChunkSpan& chunk : walk.chunks)
    facts.chunks.push_back({chunk.type, chunk.length, chunk.offset});
  return facts;
}
