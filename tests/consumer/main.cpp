// A program of someone else's, built against an installed Nimbrel: it writes a palette PNG with
// a transparent colour and reads it back. If a header, a library or a dependency were missing
// from the installed tree, this would not build or link.
#include <nimbrel/png/ux_png.h>

#include <iostream>
#include <string>

namespace {

constexpr int kWidth = 17;  // odd, so rows are padded
constexpr int kHeight = 5;
const RGBQUAD kPalette[] = {{0, 0, 0, 0}, {255, 255, 255, 0}, {242, 242, 242, 0}, {0, 0, 255, 0}};
constexpr COLORREF kGrey = RGB(242, 242, 242);

DWORD Index(int x, int y) {
  return DWORD((x + y) % 4);
}

bool SameImage(TUxPNG& read) {
  TVynCustomInternalDIB& store = *read.Image();
  if (store.Width() != kWidth || store.Height() != kHeight || store.BitCount() != 8) return false;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (store.GetPixel(x, y) != Index(x, y)) return false;
  return read.GetTransColor() == kGrey;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string file = argc > 1 ? argv[1] : "consumer.png";
  try {
    TUxPNG written;
    written.Image()->CreateImage(kWidth, kHeight, false, kPalette, 4, 8);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) written.Image()->SetPixel(x, y, Index(x, y));
    written.SetTransColor(kGrey);
    written.SaveToFile(file);

    TUxPNG read;
    read.LoadFromFile(file);
    if (!SameImage(read)) {
      std::cerr << "consumer: " << file << " does not read back as written\n";
      return 1;
    }
  } catch (const std::exception& e) {
    std::cerr << "consumer: " << e.what() << "\n";
    return 1;
  }
  std::cout << "consumer: wrote and read back " << file << "\n";
  return 0;
}
