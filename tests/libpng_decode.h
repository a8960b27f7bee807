// Decodes PNG files with libpng, the independent reader every suite compares with: the
// header, the pixels in one of two forms, and the side data (colour keys, background, gamma,
// resolution and offsets) as libpng reports them.
#pragma once

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

// How libpng hands the pixels over.
enum class LibpngForm {
  // As stored: palette indices unexpanded, samples under 8 bits one per byte, 16-bit samples
  // as two bytes.
  Samples,
  // Red, green, blue, alpha of 8 bits as our store keeps them: 16-bit samples keep their high
  // byte, palettes and greys are expanded, colour keys are not applied, and alpha is 255 where
  // the file has no alpha channel.
  Rgba,
};

// Whether libpng refuses chunks whose CRC is wrong. Some corpus files carry deliberately odd
// ancillary chunks whose CRCs are not ours to judge.
enum class LibpngCrc { Check, Ignore };

struct LibpngImage {
  bool ok = false;
  std::string error;
  std::vector<std::string> warnings;

  std::uint32_t width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  int channels = 0;  // per pixel of rows
  std::vector<std::vector<std::uint8_t>> rows;

  std::vector<png_color> palette;
  std::vector<std::uint8_t> transparency;        // tRNS of a palette image: alpha per entry
  std::optional<png_color_16> transparentColor;  // tRNS of a grey or colour image
  std::optional<png_color_16> background;        // bKGD
  std::optional<int> backgroundIndex;            // bKGD of a palette image
  std::optional<png_fixed_point> gamma;          // gAMA, × 100000
  struct Resolution {
    png_uint_32 x, y;
    int unit;
  };
  std::optional<Resolution> resolution;  // pHYs
  struct Offset {
    png_int_32 x, y;
    int unit;
  };
  std::optional<Offset> offset;  // oFFs

  std::uint8_t At(std::uint32_t x, std::uint32_t y) const { return rows[y][x]; }
};

namespace libpng_detail {

struct Job {
  const std::vector<std::uint8_t>* file;
  std::size_t pos;
  LibpngForm form;
  LibpngImage* out;
  std::vector<png_bytep> rowPointers;
};

inline void AskForm(png_structp png, Job* job) {
  LibpngImage& out = *job->out;
  if (job->form == LibpngForm::Samples) {
    if (out.bitDepth < 8) png_set_packing(png);
    return;
  }
  png_set_strip_16(png);
  png_set_packing(png);
  if (out.colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (out.colorType == PNG_COLOR_TYPE_GRAY || out.colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
    png_set_expand_gray_1_2_4_to_8(png);
    png_set_gray_to_rgb(png);
  }
  if ((out.colorType & PNG_COLOR_MASK_ALPHA) == 0) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
}

inline void TakeSideData(png_structp png, png_infop info, LibpngImage& out) {
  png_colorp colors = nullptr;
  int count = 0;
  if (png_get_PLTE(png, info, &colors, &count) != 0) out.palette.assign(colors, colors + count);
  png_bytep alpha = nullptr;
  png_color_16p key = nullptr;
  if (png_get_tRNS(png, info, &alpha, &count, &key) != 0) {
    if (out.colorType == PNG_COLOR_TYPE_PALETTE && alpha != nullptr)
      out.transparency.assign(alpha, alpha + count);
    else if (key != nullptr)
      out.transparentColor = *key;
  }
  png_color_16p background = nullptr;
  if (png_get_bKGD(png, info, &background) != 0) {
    out.background = *background;
    out.backgroundIndex = background->index;
  }
  png_fixed_point gamma = 0;
  if (png_get_gAMA_fixed(png, info, &gamma) != 0) out.gamma = gamma;
  LibpngImage::Resolution r{};
  if (png_get_pHYs(png, info, &r.x, &r.y, &r.unit) != 0) out.resolution = r;
  LibpngImage::Offset o{};
  if (png_get_oFFs(png, info, &o.x, &o.y, &o.unit) != 0) out.offset = o;
}

// Every libpng call lives here, with no C++ object on the frame that libpng's longjmp would
// skip.
inline bool Decode(png_structp png, png_infop info, Job* job) {
  if (setjmp(png_jmpbuf(png))) return false;
  // Unknown ancillary chunks (our uxPg among them) are skipped quietly.
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  png_read_info(png, info);
  LibpngImage& out = *job->out;
  out.width = png_get_image_width(png, info);
  out.height = png_get_image_height(png, info);
  out.bitDepth = png_get_bit_depth(png, info);
  out.colorType = png_get_color_type(png, info);
  out.interlace = png_get_interlace_type(png, info);
  AskForm(png, job);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  out.channels = png_get_channels(png, info);
  out.rows.assign(out.height, std::vector<std::uint8_t>(png_get_rowbytes(png, info)));
  for (auto& row : out.rows) job->rowPointers.push_back(row.data());
  png_read_image(png, job->rowPointers.data());
  png_read_end(png, info);
  TakeSideData(png, info, out);
  return true;
}

}  // namespace libpng_detail

inline LibpngImage DecodePng(const std::vector<std::uint8_t>& file,
                             LibpngForm form = LibpngForm::Samples,
                             LibpngCrc crc = LibpngCrc::Check) {
  LibpngImage out;
  libpng_detail::Job job{&file, 0, form, &out, {}};
  png_structp png = png_create_read_struct(
      PNG_LIBPNG_VER_STRING, &job,
      [](png_structp p, png_const_charp message) {
        static_cast<libpng_detail::Job*>(png_get_error_ptr(p))->out->error = message;
      },
      [](png_structp p, png_const_charp message) {
        static_cast<libpng_detail::Job*>(png_get_error_ptr(p))->out->warnings.push_back(message);
      });
  png_infop info = png_create_info_struct(png);
  if (crc == LibpngCrc::Ignore) png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
  png_set_read_fn(png, &job, [](png_structp p, png_bytep data, png_size_t length) {
    auto* j = static_cast<libpng_detail::Job*>(png_get_io_ptr(p));
    if (j->file->size() - j->pos < length) png_error(p, "read past the end");
    std::copy_n(j->file->begin() + std::ptrdiff_t(j->pos), length, data);
    j->pos += length;
  });
  out.ok = libpng_detail::Decode(png, info, &job);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!out.ok && out.error.empty()) out.error = "libpng refused the file";
  return out;
}

inline LibpngImage DecodePngFile(const std::string& path, LibpngForm form = LibpngForm::Samples,
                                 LibpngCrc crc = LibpngCrc::Check) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    LibpngImage image;
    image.error = "cannot open " + path;
    return image;
  }
  return DecodePng(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}), form, crc);
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
