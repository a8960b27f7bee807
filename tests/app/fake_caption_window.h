// A window for the composer's tests: fields in memory, a real picture, and a record of every
// message together with the description as it stood when the message was shown.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "app/caption_window.h"
#include "platform/bitmap.h"

class FakeCaptionWindow : public CaptionWindow {
 public:
  struct Message {
    AnsiString text;
    std::vector<AnsiString> description;  // the lines while the message was open
  };

  AnsiString title;
  AnsiString second;
  std::vector<AnsiString> description;
  COLORREF fontColor = clWhite;
  COLORREF fontCaptionColor = clBlack;
  COLORREF borderColor = clBlack;
  COLORREF borderCaptionColor = clWhite;
  TBitmap picture;
  std::vector<Message> messages;
  std::deque<std::optional<COLORREF>> colorAnswers;  // what the colour dialog returns, in turn
  std::vector<COLORREF> colorDialogStarts;
  int repaints = 0;

  AnsiString TitleText() const override { return title; }
  AnsiString SecondLineText() const override { return second; }
  int DescriptionLineCount() const override { return int(description.size()); }
  AnsiString DescriptionLine(int index) const override { return description.at(index); }
  void SetDescriptionLine(int index, const AnsiString& text) override {
    description.at(index) = text;
  }
  void DeleteDescriptionLine(int index) override { description.erase(description.begin() + index); }
  COLORREF FontColor() const override { return fontColor; }
  void SetFontColor(COLORREF c) override { fontColor = c; }
  void SetFontCaptionColor(COLORREF c) override { fontCaptionColor = c; }
  COLORREF BorderColor() const override { return borderColor; }
  void SetBorderColor(COLORREF c) override { borderColor = c; }
  void SetBorderCaptionColor(COLORREF c) override { borderCaptionColor = c; }
  TBitmap& Picture() override { return picture; }
  void RepaintImage() override { ++repaints; }
  void ShowMessage(const AnsiString& text) override { messages.push_back({text, description}); }
  std::optional<COLORREF> ExecuteColorDialog(COLORREF initial) override {
    colorDialogStarts.push_back(initial);
    if (colorAnswers.empty()) return std::nullopt;
    const std::optional<COLORREF> answer = colorAnswers.front();
    colorAnswers.pop_front();
    return answer;
  }
  std::optional<std::string> ExecuteSaveDialog() override { return std::nullopt; }
};
