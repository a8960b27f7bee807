// Encode time of our PNG writer against libpng at the same zlib level (libpng's default filter
// heuristic), and against the floor: zlib deflating our filtered rows alone. One benchmark
// family per picture: the photos of the corpus (24- or 32-bit) and the caption picture
// (8-bit, 310 × 180). Each reports the output size as the counter "bytes".
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/caption_window.h"
#include "app/composer.h"
#include "platform/bitmap.h"
#include "platform/stream.h"
#include "png/ux_png.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Loading the photos with libpng into our image (blue, green, red order) ----

struct LoadJob {
  FILE* file;
  TUxPNG* image;
  std::vector<png_bytep> rows;
};

bool ReadPhoto(png_structp png, png_infop info, LoadJob* job) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, job->file);
  png_read_info(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_bgr(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const bool alpha = png_get_channels(png, info) == 4;
  const int width = int(png_get_image_width(png, info));
  const int height = int(png_get_image_height(png, info));
  TVynCustomInternalDIB& store = *job->image->Image();
  store.CreateImage(width, height, alpha, nullptr, 0, alpha ? 32 : 24);
  for (int y = 0; y < height; ++y) job->rows.push_back(PictureRow(store.Desc(), y));
  png_read_image(png, job->rows.data());
  png_read_end(png, nullptr);
  return true;
}

std::unique_ptr<TUxPNG> LoadPhoto(const std::string& path) {
  auto image = std::make_unique<TUxPNG>();
  LoadJob job{std::fopen(path.c_str(), "rb"), image.get(), {}};
  if (!job.file) throw std::runtime_error("cannot open " + path);
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  const bool ok = ReadPhoto(png, info, &job);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(job.file);
  if (!ok) throw std::runtime_error("libpng cannot read " + path);
  return image;
}

// ---- The caption picture, composed by the program's own draw command ----

class BenchWindow : public CaptionWindow {
 public:
  AnsiString TitleText() const override { return "Nimbrel 0.1 リリースのお知らせ"_sj; }
  AnsiString SecondLineText() const override { return "2026年12月7日"_sj; }
  int DescriptionLineCount() const override { return int(lines_.size()); }
  AnsiString DescriptionLine(int i) const override { return lines_[std::size_t(i)]; }
  void SetDescriptionLine(int i, const AnsiString& t) override { lines_[std::size_t(i)] = t; }
  void DeleteDescriptionLine(int i) override { lines_.erase(lines_.begin() + i); }
  COLORREF FontColor() const override { return RGB(255, 255, 255); }
  void SetFontColor(COLORREF) override {}
  void SetFontCaptionColor(COLORREF) override {}
  COLORREF BorderColor() const override { return RGB(0, 0, 0); }
  void SetBorderColor(COLORREF) override {}
  void SetBorderCaptionColor(COLORREF) override {}
  TBitmap& Picture() override { return picture_; }
  void RepaintImage() override {}
  void ShowMessage(const AnsiString&) override {}
  std::optional<COLORREF> ExecuteColorDialog(COLORREF) override { return std::nullopt; }
  std::optional<std::string> ExecuteSaveDialog() override { return std::nullopt; }

 private:
  std::vector<AnsiString> lines_ = {"キャプション画像を PNG で保存します。"_sj,
                                    "Outlined bold text over a flat grey ground."_sj,
                                    "説明は8行までにしてください"_sj, "1234567890 ABCDEFG"_sj};
  TBitmap picture_;
};

std::unique_ptr<TUxPNG> CaptionPicture() {
  BenchWindow window;
  TCaptionComposer composer(window);
  composer.FormCreate();
  auto image = std::make_unique<TUxPNG>();
  image->Assign(&window.Picture());
  image->SetBGColor(kBackgroundGrey);
  image->SetTransColor(kBackgroundGrey);
  return image;
}

// ---- The three encoders ----

// Both encoders write into memory that persists across iterations, so growing the output
// buffer is not part of what is measured.
std::size_t EncodeOurs(TUxPNG& image, TMemoryStream& stream) {
  stream.Clear();
  image.SaveToStream(stream);
  return stream.Bytes().size();
}

Bytes EncodeOurs(TUxPNG& image) {
  TMemoryStream stream;
  EncodeOurs(image, stream);
  return std::move(stream.Bytes());
}

struct LibpngJob {
  TUxPNG* image;
  const TVynDIBDesc* desc;
  Bytes* out;
  std::vector<png_bytep> rows;
};

bool WriteWithLibpng(png_structp png, png_infop info, LibpngJob* job) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(
      png, job->out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto* out = static_cast<Bytes*>(png_get_io_ptr(p));
        out->insert(out->end(), data, data + n);
      },
      nullptr);
  const TVynDIBDesc& d = *job->desc;
  const int colorType = d.BitCount == 8    ? PNG_COLOR_TYPE_PALETTE
                        : d.BitCount == 32 ? PNG_COLOR_TYPE_RGB_ALPHA
                                           : PNG_COLOR_TYPE_RGB;
  png_set_IHDR(png, info, png_uint_32(d.Width), png_uint_32(d.Height), 8, colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[256];
  if (colorType == PNG_COLOR_TYPE_PALETTE) {
    for (int i = 0; i < d.PaletteCount; ++i)
      palette[i] = {d.Palette[i].rgbRed, d.Palette[i].rgbGreen, d.Palette[i].rgbBlue};
    png_set_PLTE(png, info, palette, d.PaletteCount);
  }
  // The same ancillary chunks as ours, so sizes compare the image data.
  png_set_pHYs(png, info, png_uint_32(job->image->GetWidthSpecific()),
               png_uint_32(job->image->GetHeightSpecific()), PNG_RESOLUTION_UNKNOWN);
  png_byte alpha[256];
  png_color_16 background{};
  if (colorType == PNG_COLOR_TYPE_PALETTE && job->image->GetTransColor() <= 0xFFFFFF) {
    const int k = job->image->Image()->TransIndex();
    std::fill_n(alpha, k, png_byte(255));
    alpha[k] = 0;
    png_set_tRNS(png, info, alpha, k + 1, nullptr);
  }
  if (colorType == PNG_COLOR_TYPE_PALETTE && job->image->GetBGColor() <= 0xFFFFFF) {
    background.index = png_byte(job->image->Image()->BGIndex());
    png_set_bKGD(png, info, &background);
  }
  png_set_compression_level(png, Z_DEFAULT_COMPRESSION);
  png_write_info(png, info);
  if (colorType != PNG_COLOR_TYPE_PALETTE) png_set_bgr(png);
  png_write_image(png, job->rows.data());
  png_write_end(png, info);
  return true;
}

std::size_t EncodeLibpng(TUxPNG& image, Bytes& out) {
  const TVynDIBDesc& desc = image.Image()->Desc();
  out.clear();
  LibpngJob job{&image, &desc, &out, {}};
  for (int y = 0; y < desc.Height; ++y) job.rows.push_back(PictureRow(desc, y));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  const bool ok = WriteWithLibpng(png, info, &job);
  png_destroy_write_struct(&png, &info);
  if (!ok) throw std::runtime_error("libpng write failed");
  return out.size();
}

// Our filtered rows, taken back out of our own file.
Bytes FilteredRows(const Bytes& file) {
  Bytes compressed;
  for (std::size_t pos = 8; pos + 12 <= file.size();) {
    const std::size_t n = std::size_t(file[pos]) << 24 | std::size_t(file[pos + 1]) << 16 |
                          std::size_t(file[pos + 2]) << 8 | file[pos + 3];
    if (std::equal(file.begin() + std::ptrdiff_t(pos) + 4, file.begin() + std::ptrdiff_t(pos) + 8,
                   "IDAT"))
      compressed.insert(compressed.end(), file.begin() + std::ptrdiff_t(pos) + 8,
                        file.begin() + std::ptrdiff_t(pos + 8 + n));
    pos += 12 + n;
  }
  Bytes rows(1 << 20);
  z_stream zs{};
  inflateInit(&zs);
  zs.next_in = compressed.data();
  zs.avail_in = uInt(compressed.size());
  int result = Z_OK;
  std::size_t used = 0;
  while (result == Z_OK) {
    if (used == rows.size()) rows.resize(rows.size() * 2);
    zs.next_out = rows.data() + used;
    zs.avail_out = uInt(rows.size() - used);
    result = inflate(&zs, Z_NO_FLUSH);
    used = rows.size() - zs.avail_out;
  }
  inflateEnd(&zs);
  rows.resize(used);
  return rows;
}

// The floor: one zlib stream over the filtered rows, fed row by row into a 32 KiB buffer.
std::size_t DeflateFloor(const Bytes& rows, std::size_t rowLength) {
  z_stream zs{};
  deflateInit(&zs, Z_DEFAULT_COMPRESSION);
  std::uint8_t out[32768];
  std::size_t total = 0;
  const auto drain = [&](int flush) {
    int result;
    do {
      zs.next_out = out;
      zs.avail_out = sizeof out;
      result = deflate(&zs, flush);
      total += sizeof out - zs.avail_out;
    } while (zs.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
  };
  for (std::size_t pos = 0; pos < rows.size(); pos += rowLength) {
    zs.next_in = const_cast<Bytef*>(rows.data() + pos);
    zs.avail_in = uInt(rowLength);
    drain(Z_NO_FLUSH);
  }
  drain(Z_FINISH);
  deflateEnd(&zs);
  return total;
}

struct Picture {
  std::string name;
  std::unique_ptr<TUxPNG> image;
  Bytes filteredRows;
  std::size_t rowLength = 0;
};

std::vector<Picture>& Pictures() {
  static std::vector<Picture> pictures;
  return pictures;
}

void AddPicture(std::string name, std::unique_ptr<TUxPNG> image) {
  Picture p{std::move(name), std::move(image), {}, 0};
  const TVynDIBDesc& d = p.image->Image()->Desc();
  p.filteredRows = FilteredRows(EncodeOurs(*p.image));
  p.rowLength = p.filteredRows.size() / std::size_t(d.Height);
  Pictures().push_back(std::move(p));
}

void RegisterAll() {
  const std::filesystem::path photos = std::filesystem::path(NIMBREL_CORPUS_DIR) / "photos";
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(photos))
    if (entry.path().extension() == ".png") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const auto& file : files) AddPicture(file.stem().string(), LoadPhoto(file.string()));
  AddPicture("caption", CaptionPicture());

  for (Picture& p : Pictures()) {
    benchmark::RegisterBenchmark(("ours/" + p.name).c_str(), [&p](benchmark::State& state) {
      std::size_t size = 0;
      TMemoryStream stream;
      for (auto _ : state) size = EncodeOurs(*p.image, stream);
      state.counters["bytes"] = double(size);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("libpng/" + p.name).c_str(), [&p](benchmark::State& state) {
      std::size_t size = 0;
      Bytes out;
      for (auto _ : state) size = EncodeLibpng(*p.image, out);
      state.counters["bytes"] = double(size);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("floor/" + p.name).c_str(), [&p](benchmark::State& state) {
      std::size_t size = 0;
      for (auto _ : state) size = DeflateFloor(p.filteredRows, p.rowLength);
      state.counters["bytes"] = double(size);
    })->Unit(benchmark::kMillisecond);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
