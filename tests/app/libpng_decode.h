// Decodes a PNG file with libpng, without transforms, so the tests see the palette indices, the
// palette and the colour keys exactly as they were written.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct LibpngImage {
  bool ok = false;
  std::string error;
  std::uint32_t width = 0, height = 0;
  int bitDepth = 0, colorType = 0;
  std::vector<png_color> palette;
  std::vector<std::uint8_t> transparency;  // tRNS alpha per palette entry
  std::optional<int> backgroundIndex;      // bKGD palette index
  std::vector<std::vector<std::uint8_t>> rows;

  std::uint8_t At(std::uint32_t x, std::uint32_t y) const { return rows[y][x]; }
};

inline LibpngImage DecodePngFile(const std::string& path) {
  LibpngImage image;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    image.error = "cannot open " + path;
    return image;
  }
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    image.ok = false;
    image.error = "libpng refused the file";
    return image;
  }
  png_init_io(png, file.get());
  png_read_info(png, info);
  image.width = png_get_image_width(png, info);
  image.height = png_get_image_height(png, info);
  image.bitDepth = png_get_bit_depth(png, info);
  image.colorType = png_get_color_type(png, info);
  png_colorp colors = nullptr;
  int count = 0;
  if (png_get_PLTE(png, info, &colors, &count) != 0) image.palette.assign(colors, colors + count);
  png_bytep alpha = nullptr;
  int alphaCount = 0;
  if (png_get_tRNS(png, info, &alpha, &alphaCount, nullptr) != 0 && alpha != nullptr)
    image.transparency.assign(alpha, alpha + alphaCount);
  png_color_16p background = nullptr;
  if (png_get_bKGD(png, info, &background) != 0) image.backgroundIndex = background->index;
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  image.rows.assign(image.height, std::vector<std::uint8_t>(rowBytes));
  for (auto& row : image.rows) png_read_row(png, row.data(), nullptr);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  image.ok = true;
  return image;
}

// The palette index of the colour key that the saved captions declare: the only entry that
// tRNS makes transparent.
inline std::optional<int> TransparentIndex(const LibpngImage& image) {
  std::optional<int> index;
  for (std::size_t i = 0; i < image.transparency.size(); ++i) {
    if (image.transparency[i] == 255) continue;
    if (index) return std::nullopt;
    index = int(i);
  }
  return index;
}
