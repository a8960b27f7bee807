// BMP load and save throughput on a large 24-bit picture (4000 × 3000, 36 MB of pixels).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "image/custom_dib.h"
#include "platform/stream.h"

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

// A picture with some variation in every row, so no layer can shortcut the copy.
void MakePicture(TVynCustomDIB& image) {
  image.Image()->CreateImage(kWidth, kHeight, false, nullptr, 0, 24);
  const TVynDIBDesc& d = image.Image()->Desc();
  for (int y = 0; y < d.Height; ++y) {
    BYTE* row = d.Bits + std::size_t(y) * d.LineSize;
    for (int i = 0; i < d.LineSize; ++i) row[i] = BYTE(i * 7 + y * 13);
  }
}

std::vector<std::uint8_t> SavedPicture() {
  TVynCustomDIB image;
  MakePicture(image);
  TMemoryStream stream;
  image.SaveToStream(stream);
  return stream.Bytes();
}

void BM_BmpSave24(benchmark::State& state) {
  TVynCustomDIB image;
  MakePicture(image);
  TMemoryStream stream;
  image.SaveToStream(stream);  // the stream's memory is grown once, outside the timing
  const std::int64_t size = stream.GetSize();
  for (auto _ : state) {
    stream.SetPosition(0);
    image.SaveToStream(stream);
    benchmark::DoNotOptimize(stream.Bytes().data());
  }
  state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_BmpSave24)->Unit(benchmark::kMillisecond);

void BM_BmpLoad24(benchmark::State& state) {
  TMemoryStream stream(SavedPicture());
  const std::int64_t size = stream.GetSize();
  TVynCustomDIB image;
  for (auto _ : state) {
    stream.SetPosition(0);
    image.LoadFromStream(stream);
    benchmark::DoNotOptimize(image.Image()->Desc().Bits);
  }
  state.SetBytesProcessed(state.iterations() * size);
}
BENCHMARK(BM_BmpLoad24)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
