#include "platform/halftone_palette.h"

namespace {

struct Rgb {
  BYTE r, g, b;
};

// The static colours at both ends of the table and the greys and tints beside them.
constexpr Rgb kLow[] = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {4, 4, 4},       {8, 8, 8},       {12, 12, 12},    {17, 17, 17},    {22, 22, 22},
    {28, 28, 28},    {34, 34, 34},    {41, 41, 41},    {85, 85, 85},    {77, 77, 77},
    {66, 66, 66},    {57, 57, 57},    {255, 124, 128}, {255, 80, 80},   {214, 0, 147},
    {204, 236, 255}, {239, 214, 198}, {231, 231, 214}, {173, 169, 144}};
constexpr Rgb kHigh[] = {{165, 0, 33},    {95, 95, 95},    {119, 119, 119}, {134, 134, 134},
                         {150, 150, 150}, {203, 203, 203}, {178, 178, 178}, {215, 215, 215},
                         {221, 221, 221}, {227, 227, 227}, {234, 234, 234}, {241, 241, 241},
                         {248, 248, 248}, {255, 251, 240}, {160, 160, 164}, {128, 128, 128},
                         {255, 0, 0},     {0, 255, 0},     {255, 255, 0},   {0, 0, 255},
                         {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
constexpr int kFirstCubeEntry = 29;
constexpr int kFirstHighEntry = 233;
static_assert(std::size(kLow) == kFirstCubeEntry);
static_assert(std::size(kHigh) == 256 - kFirstHighEntry);

struct Tables {
  std::array<RGBQUAD, 256> palette{};
  std::array<BYTE, 216> cubeMap{};
};

RGBQUAD Quad(Rgb c) {
  return RGBQUAD{c.b, c.g, c.r, 0};
}

// The palette index of a cube colour that is one of the static colours, or -1.
int StaticIndexOf(int r, int g, int b) {
  for (int i = 0; i < 256; ++i) {
    const Rgb c = i < kFirstCubeEntry    ? kLow[i]
                  : i >= kFirstHighEntry ? kHigh[i - kFirstHighEntry]
                                         : Rgb{1, 2, 3};
    if (c.r == r && c.g == g && c.b == b) return i;
  }
  return -1;
}

Tables Build() {
  Tables t;
  for (int i = 0; i < kFirstCubeEntry; ++i) t.palette[i] = Quad(kLow[i]);
  for (int i = kFirstHighEntry; i < 256; ++i) t.palette[i] = Quad(kHigh[i - kFirstHighEntry]);
  constexpr int kPureGreen = 250;
  constexpr int kPureBlue = 252;
  int next = kFirstCubeEntry;
  for (int cube = 0; cube < 216; ++cube) {
    const int r = cube % 6 * 51, g = cube / 6 % 6 * 51, b = cube / 36 * 51;
    // Four cube colours next to pure green and pure blue share those entries.
    if ((r == 51 && g == 255 && b == 0) || (r == 0 && g == 255 && b == 51)) {
      t.cubeMap[cube] = kPureGreen;
    } else if ((r == 51 && g == 0 && b == 255) || (r == 0 && g == 51 && b == 255)) {
      t.cubeMap[cube] = kPureBlue;
    } else if (const int fixed = StaticIndexOf(r, g, b); fixed >= 0) {
      t.cubeMap[cube] = BYTE(fixed);
    } else {
      t.palette[next] = Quad(Rgb{BYTE(r), BYTE(g), BYTE(b)});
      t.cubeMap[cube] = BYTE(next++);
    }
  }
  return t;
}

const Tables& GetTables() {
  static const Tables tables = Build();
  return tables;
}

}  // namespace

const std::array<RGBQUAD, 256>& HalftonePalette() {
  return GetTables().palette;
}
const std::array<BYTE, 216>& HalftoneCubeMap() {
  return GetTables().cubeMap;
}

BYTE HalftoneIndex(BYTE red, BYTE green, BYTE blue) {
  return HalftoneCubeMap()[HalftoneLevel(red) + 6 * HalftoneLevel(green) +
                           36 * HalftoneLevel(blue)];
}
