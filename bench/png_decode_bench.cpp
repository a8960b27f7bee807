// Decode time of our PNG reader against the other readers, each decoding to its natural
// 8-bit layout: libpng (its classic API; 16-bit samples stripped, palettes and greys kept as
// they are), libspng (the file's own layout, 16-bit samples reduced) and stb_image (its own
// channel count; palettes expanded). Two floors inflate the same IDAT data alone: zlib into a
// 32 KiB window, libdeflate in one call into a buffer of the exact size. Our own reader runs
// twice: as it is, and held to inflating the image data in pieces (the path of pictures too
// large to inflate whole). One family per file: the photos, a caption the program wrote and
// the PngSuite files that load. At the end a table gives, per file, our time over each of
// theirs, and the geometric means per folder.
#include <benchmark/benchmark.h>
#include <libdeflate.h>
#include <png.h>
#include <spng.h>
#include <stb_image.h>
#include <zlib.h>

#include <algorithm>
#include <array>
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

// Reads bytes already in memory without copying them, as the other readers are given theirs.
class ByteView : public TStream {
 public:
  explicit ByteView(const Bytes& bytes) : bytes_(bytes) {}
  std::size_t Read(void* buffer, std::size_t count) override {
    const std::size_t n = std::min(count, bytes_.size() - std::min(position_, bytes_.size()));
    if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
  }
  std::size_t Write(const void*, std::size_t) override { return 0; }
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
    const std::int64_t base = origin == TSeekOrigin::soBeginning ? 0
                              : origin == TSeekOrigin::soCurrent ? std::int64_t(position_)
                                                                 : std::int64_t(bytes_.size());
    if (offset < -base) throw std::runtime_error("seek before the start");
    position_ = std::size_t(base + offset);
    return std::int64_t(position_);
  }

 private:
  const Bytes& bytes_;
  std::size_t position_ = 0;
};

void DecodeOurs(const Bytes& file, TUxPNG& image) {
  ByteView stream(file);
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

// libspng's layout for the file: its own, with 16-bit samples reduced to 8 bits.
int SpngFormat(spng_ctx* ctx) {
  spng_ihdr ihdr{};
  if (spng_get_ihdr(ctx, &ihdr) != 0) return 0;
  if (ihdr.bit_depth < 16) return SPNG_FMT_PNG;
  switch (ihdr.color_type) {
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
      return SPNG_FMT_GA8;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA:
      return SPNG_FMT_RGBA8;
    default:
      return SPNG_FMT_RGB8;
  }
}

// Decodes into a fresh buffer, as ours decodes into a fresh store; false when libspng fails.
bool DecodeSpng(const Bytes& file, Bytes& pixels) {
  spng_ctx* ctx = spng_ctx_new(0);
  std::size_t size = 0;
  int format = 0;
  bool ok = spng_set_png_buffer(ctx, file.data(), file.size()) == 0 &&
            (format = SpngFormat(ctx)) != 0 && spng_decoded_image_size(ctx, format, &size) == 0;
  if (ok) {
    pixels = Bytes(size);
    ok = spng_decode_image(ctx, pixels.data(), size, format, 0) == 0;
  }
  spng_ctx_free(ctx);
  return ok;
}

// Decodes with stb_image in the file's own channel count; false when it fails.
bool DecodeStb(const Bytes& file) {
  int width = 0, height = 0, channels = 0;
  stbi_uc* pixels =
      stbi_load_from_memory(file.data(), int(file.size()), &width, &height, &channels, 0);
  benchmark::DoNotOptimize(pixels);
  stbi_image_free(pixels);
  return pixels != nullptr;
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

// The other floor: libdeflate inflating the image data in one call into a buffer of its size.
bool InflateWhole(libdeflate_decompressor* d, const Bytes& idat, Bytes& out) {
  std::size_t written = 0;
  return libdeflate_zlib_decompress(d, idat.data(), idat.size(), out.data(), out.size(),
                                    &written) == LIBDEFLATE_SUCCESS &&
         written == out.size();
}

struct Sample {
  std::string folder;
  std::string name;
  Bytes file;
  Bytes idat;
  std::size_t inflatedSize = 0;
};

std::vector<Sample>& Samples() {
  static std::vector<Sample> samples;
  return samples;
}

// A geometric mean of ratios.
struct Mean {
  double logSum = 0;
  int count = 0;
  void Add(double ratio) {
    logSum += std::log(ratio);
    ++count;
  }
  double Value() const { return count ? std::exp(logSum / count) : 0.0; }
};

// One column of the closing table; a dash where a peer has no time for the file.
void PrintRatio(double ratio) {
  if (ratio > 0)
    std::printf(" %9.3f", ratio);
  else
    std::printf(" %9s", "-");
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
    const char* peers[] = {"libpng", "spng", "stb", "zlib", "deflate", "stream"};
    std::printf(
        "\nour time over theirs (zlib, deflate: inflating the image data alone; stream: ours "
        "inflating in pieces)\n%-36s",
        "file");
    for (const char* peer : peers) std::printf(" %9s", peer);
    std::printf("\n");
    std::map<std::string, std::array<Mean, std::size(peers)>> means;
    for (const Sample& s : Samples()) {
      const double ours = seconds_["ours/" + s.name];
      if (ours <= 0) continue;
      std::printf("%-36s", s.name.c_str());
      for (std::size_t i = 0; i < std::size(peers); ++i) {
        const double theirs = seconds_[std::string(peers[i]) + "/" + s.name];
        if (theirs > 0) means[s.folder][i].Add(ours / theirs);
        PrintRatio(theirs > 0 ? ours / theirs : 0.0);
      }
      std::printf("\n");
    }
    for (const auto& [folder, folderMeans] : means) {
      std::printf("%-36s", ("geometric mean, " + folder).c_str());
      for (const Mean& m : folderMeans) PrintRatio(m.Value());
      std::printf("\n");
    }
  }

 private:
  std::map<std::string, double> seconds_;
  std::set<std::string> medians_;
};

// The PNG files of `directory`, reported under `folder`.
void AddFolder(const std::filesystem::path& directory, const std::string& folder, bool skipBroken) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    if (entry.path().extension() == ".png" &&
        !(skipBroken && entry.path().filename().string()[0] == 'x'))
      files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  for (const auto& path : files) {
    Bytes file = ReadFile(path);
    Bytes idat = IdatData(file);
    Bytes window(32768);
    const std::size_t inflated = InflateFloor(idat, window);
    Samples().push_back(
        {folder, folder + "/" + path.stem().string(), std::move(file), std::move(idat), inflated});
  }
}

void RegisterAll() {
  const std::filesystem::path corpus(NIMBREL_CORPUS_DIR);
  AddFolder(corpus / "photos", "photos", false);
  AddFolder(NIMBREL_BENCH_DATA_DIR, "captions", false);  // what the program itself writes
  AddFolder(corpus / "pngsuite", "pngsuite", true);
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
    benchmark::RegisterBenchmark(("stream/" + s.name).c_str(), [&s](benchmark::State& state) {
      TUxPNG image;
      image.ReadLimits.MaxWholeInflateBytes = 0;  // zlib in pieces, never whole
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
    // A peer that cannot read a file (libspng checks more than the others) skips it.
    Bytes spngPixels;
    if (DecodeSpng(s.file, spngPixels))
      benchmark::RegisterBenchmark(("spng/" + s.name).c_str(), [&s](benchmark::State& state) {
        Bytes pixels;
        for (auto _ : state) {
          DecodeSpng(s.file, pixels);
          benchmark::DoNotOptimize(pixels.data());
        }
      });
    if (DecodeStb(s.file))
      benchmark::RegisterBenchmark(("stb/" + s.name).c_str(), [&s](benchmark::State& state) {
        for (auto _ : state) DecodeStb(s.file);
      });
    benchmark::RegisterBenchmark(("zlib/" + s.name).c_str(), [&s](benchmark::State& state) {
      Bytes window(32768);
      for (auto _ : state) benchmark::DoNotOptimize(InflateFloor(s.idat, window));
    });
    std::unique_ptr<libdeflate_decompressor, decltype(&libdeflate_free_decompressor)> trial(
        libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    Bytes inflated(s.inflatedSize);
    if (InflateWhole(trial.get(), s.idat, inflated))
      benchmark::RegisterBenchmark(("deflate/" + s.name).c_str(), [&s](benchmark::State& state) {
        libdeflate_decompressor* d = libdeflate_alloc_decompressor();
        Bytes out(s.inflatedSize);
        for (auto _ : state) benchmark::DoNotOptimize(InflateWhole(d, s.idat, out));
        libdeflate_free_decompressor(d);
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
