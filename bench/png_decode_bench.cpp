// Decode time of our PNG reader against libpng (its classic API, decoding to its natural
// 8-bit layout: 16-bit samples stripped, palettes and greys kept as they are), and against
// the floor: zlib inflating the same IDAT data alone, into a buffer of a few rows. One
// family per file: the photos and the PngSuite files that load. At the end a table gives,
// per file, ours / libpng, ours / floor and libpng / floor, and the geometric means.
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/stream.h"
#include "png/ux_png.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void DecodeOurs(const Bytes& file, TUxPNG& image) {
  TMemoryStream stream(file);
  image.LoadFromStream(stream);
}

struct LibpngSource {
  const Bytes* file;
  std::size_t pos;
};

bool DecodeLibpngInto(png_structp png, png_infop info, LibpngSource* source, Bytes& pixels,
                      std::vector<png_bytep>& rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_read_fn(png, source, [](png_structp p, png_bytep data, png_size_t n) {
    auto* s = static_cast<LibpngSource*>(png_get_io_ptr(p));
    if (s->file->size() - s->pos < n) png_error(p, "end of data");
    std::memcpy(data, s->file->data() + s->pos, n);
    s->pos += n;
  });
  png_read_info(png, info);
  png_set_strip_16(png);
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const std::size_t rowBytes = png_get_rowbytes(png, info);
  const std::size_t height = png_get_image_height(png, info);
  pixels.resize(rowBytes * height);
  rows.resize(height);
  for (std::size_t y = 0; y < height; ++y) rows[y] = pixels.data() + y * rowBytes;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  return true;
}

void DecodeLibpng(const Bytes& file, Bytes& pixels, std::vector<png_bytep>& rows) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  LibpngSource source{&file, 0};
  const bool ok = DecodeLibpngInto(png, info, &source, pixels, rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) throw std::runtime_error("libpng cannot read");
}

Bytes IdatData(const Bytes& file) {
  Bytes data;
  for (std::size_t pos = 8; pos + 12 <= file.size();) {
    const std::size_t n = std::size_t(file[pos]) << 24 | std::size_t(file[pos + 1]) << 16 |
                          std::size_t(file[pos + 2]) << 8 | file[pos + 3];
    if (pos + 12 + n > file.size()) break;
    if (std::memcmp(&file[pos + 4], "IDAT", 4) == 0)
      data.insert(data.end(), file.begin() + std::ptrdiff_t(pos + 8),
                  file.begin() + std::ptrdiff_t(pos + 8 + n));
    pos += 12 + n;
  }
  return data;
}

// The floor: inflating the image data alone, in 32 KiB pieces of output.
std::size_t InflateFloor(const Bytes& idat, Bytes& window) {
  z_stream zs{};
  inflateInit(&zs);
  zs.next_in = const_cast<Bytef*>(idat.data());
  zs.avail_in = uInt(idat.size());
  std::size_t total = 0;
  int result = Z_OK;
  while (result == Z_OK) {
    zs.next_out = window.data();
    zs.avail_out = uInt(window.size());
    result = inflate(&zs, Z_NO_FLUSH);
    total += window.size() - zs.avail_out;
  }
  inflateEnd(&zs);
  return total;
}

struct Sample {
  std::string name;
  Bytes file;
  Bytes idat;
};

std::vector<Sample>& Samples() {
  static std::vector<Sample> samples;
  return samples;
}

// Collects the CPU time of every benchmark (CPU time, so other work on the machine disturbs
// the ratios less) so the ratios can be printed at the end. With repetitions, the median
// stands for the benchmark; --benchmark_repetitions=5 with random interleaving gives steady
// ratios on a busy machine.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.run_name.str();
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
        seconds_[name] = run.GetAdjustedCPUTime();
        medians_.insert(name);
      } else if (run.run_type == Run::RT_Iteration && run.iterations > 0 && !medians_.count(name)) {
        seconds_[name] = run.GetAdjustedCPUTime();
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    std::printf("\n%-28s %14s %14s %14s\n", "file", "ours/libpng", "ours/floor", "libpng/floor");
    double logLibpng = 0, logFloor = 0;
    int count = 0;
    for (const Sample& s : Samples()) {
      const double ours = seconds_["ours/" + s.name];
      const double libpng = seconds_["libpng/" + s.name];
      const double floor = seconds_["floor/" + s.name];
      if (ours <= 0 || libpng <= 0 || floor <= 0) continue;
      std::printf("%-28s %14.3f %14.3f %14.3f\n", s.name.c_str(), ours / libpng, ours / floor,
                  libpng / floor);
      logLibpng += std::log(ours / libpng);
      logFloor += std::log(ours / floor);
      ++count;
    }
    if (count > 0)
      std::printf("%-28s %14.3f %14.3f\n", "geometric mean", std::exp(logLibpng / count),
                  std::exp(logFloor / count));
  }

 private:
  std::map<std::string, double> seconds_;
  std::set<std::string> medians_;
};

void AddFolder(const std::string& folder, bool skipBroken) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry :
       std::filesystem::directory_iterator(std::filesystem::path(NIMBREL_CORPUS_DIR) / folder))
    if (entry.path().extension() == ".png" &&
        !(skipBroken && entry.path().filename().string()[0] == 'x'))
      files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const auto& path : files) {
    Bytes file = ReadFile(path);
    Bytes idat = IdatData(file);
    Samples().push_back({folder + "/" + path.stem().string(), std::move(file), std::move(idat)});
  }
}

void RegisterAll() {
  AddFolder("photos", false);
  AddFolder("pngsuite", true);
  for (const Sample& s : Samples()) {
    benchmark::RegisterBenchmark(("ours/" + s.name).c_str(), [&s](benchmark::State& state) {
      // One image object loads file after file, as a viewer's would; every load still
      // builds a new store and drops the previous one.
      TUxPNG image;
      for (auto _ : state) {
        DecodeOurs(s.file, image);
        benchmark::DoNotOptimize(image.Image());
      }
    });
    benchmark::RegisterBenchmark(("libpng/" + s.name).c_str(), [&s](benchmark::State& state) {
      for (auto _ : state) {
        // A fresh picture every time, as ours gets a fresh store.
        Bytes pixels;
        std::vector<png_bytep> rows;
        DecodeLibpng(s.file, pixels, rows);
        benchmark::DoNotOptimize(pixels.data());
      }
    });
    benchmark::RegisterBenchmark(("floor/" + s.name).c_str(), [&s](benchmark::State& state) {
      Bytes window(32768);
      for (auto _ : state) benchmark::DoNotOptimize(InflateFloor(s.idat, window));
    });
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RegisterAll();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
