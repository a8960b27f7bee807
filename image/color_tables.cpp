#include "image/color_tables.h"

#include <atomic>
#include <vector>

namespace {

constexpr RGBQUAD Entry(BYTE red, BYTE green, BYTE blue) {
  return RGBQUAD{blue, green, red, 0};
}

constexpr std::array<RGBQUAD, 16> kSixteenColors = {
    Entry(0, 85, 85),     Entry(0, 153, 0),    Entry(0, 255, 0),     Entry(0, 0, 187),
    Entry(0, 187, 255),   Entry(221, 0, 0),    Entry(255, 102, 102), Entry(170, 34, 34),
    Entry(255, 153, 17),  Entry(255, 187, 85), Entry(255, 238, 0),   Entry(153, 136, 136),
    Entry(204, 187, 187), Entry(0, 102, 255),  Entry(0, 0, 0),       Entry(255, 255, 255)};

// -1 until the screen has been asked, then 0 or 1.
std::atomic<int> gPaletteDisplay{-1};

bool ReadPaletteDisplay() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return false;
  const bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0 &&
                       GetDeviceCaps(screen, NUMCOLORS) <= 256;
  ReleaseDC(nullptr, screen);
  return palette;
}

}  // namespace

const std::array<RGBQUAD, 16>& SixteenColorPalette() {
  return kSixteenColors;
}

HPALETTE CreateLibraryHalftonePalette() {
  const auto& table = HalftonePalette();
  std::vector<BYTE> block(sizeof(LOGPALETTE) + (table.size() - 1) * sizeof(PALETTEENTRY));
  auto* logPalette = reinterpret_cast<LOGPALETTE*>(block.data());
  logPalette->palVersion = 0x300;
  logPalette->palNumEntries = WORD(table.size());
  PALETTEENTRY* entries = logPalette->palPalEntry;
  for (std::size_t i = 0; i < table.size(); ++i) {
    entries[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
  }
  return CreatePalette(logPalette);
}

bool PaletteDisplayFlag() {
  int flag = gPaletteDisplay.load();
  if (flag < 0) {
    InitPaletteDisplayFlag();
    flag = gPaletteDisplay.load();
  }
  return flag == 1;
}

void InitPaletteDisplayFlag() {
  gPaletteDisplay.store(ReadPaletteDisplay() ? 1 : 0);
}
