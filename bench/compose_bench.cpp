// Composing one caption: the whole draw command on a picture that is already made, as every key
// release in the window and every row of a batch runs it.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "app/composer.h"
#include "platform/bitmap.h"

namespace {

class BenchWindow : public CaptionWindow {
 public:
  AnsiString title, second;
  std::vector<AnsiString> description;
  TBitmap picture;

  AnsiString TitleText() const override { return title; }
  AnsiString SecondLineText() const override { return second; }
  int DescriptionLineCount() const override { return int(description.size()); }
  AnsiString DescriptionLine(int i) const override { return description[i]; }
  void SetDescriptionLine(int i, const AnsiString& t) override { description[i] = t; }
  void DeleteDescriptionLine(int i) override { description.erase(description.begin() + i); }
  COLORREF FontColor() const override { return clWhite; }
  void SetFontColor(COLORREF) override {}
  void SetFontCaptionColor(COLORREF) override {}
  COLORREF BorderColor() const override { return 0x800000; }
  void SetBorderColor(COLORREF) override {}
  void SetBorderCaptionColor(COLORREF) override {}
  TBitmap& Picture() override { return picture; }
  void RepaintImage() override {}
  void ShowMessage(const AnsiString&) override {}
  std::optional<COLORREF> ExecuteColorDialog(COLORREF) override { return std::nullopt; }
  std::optional<std::string> ExecuteSaveDialog() override { return std::nullopt; }
};

// A full description of mixed kana, kanji and Latin text, as wide as the guard allows.
std::vector<AnsiString> Description(int lines) {
  std::vector<AnsiString> out;
  for (int i = 0; i < lines; ++i)
    out.push_back("説明文の"_sj + AnsiString(std::to_string(i + 1)) +
                  "行目です。Nimbrel で作ったキャプション"_sj);
  return out;
}

void Compose(benchmark::State& state, bool heading, int lines) {
  BenchWindow window;
  if (heading) {
    window.title = "ソフト名 Nimbrel Ver1.00"_sj;
    window.second = "2026年12月7日発売"_sj;
  }
  window.description = Description(lines);
  TCaptionComposer composer(window);
  composer.FormCreate();
  for (auto _ : state) {
    composer.Button1Click();
    benchmark::DoNotOptimize(window.picture.ScanLine(0)[0]);
  }
}

// Eleven description lines and no heading: the most lines a caption can hold.
void BM_ComposeElevenLines(benchmark::State& state) {
  Compose(state, false, 11);
}
// Two heading lines, eight description lines and both bars.
void BM_ComposeHeadingAndEightLines(benchmark::State& state) {
  Compose(state, true, 8);
}

BENCHMARK(BM_ComposeElevenLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ComposeHeadingAndEightLines)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
