// The main window's inputs held as strings, for the command line: the composer's commands run on
// it exactly as they run on the Qt window. Messages go to a sink; the save dialog answers with the
// output file chosen on the command line; there is no colour dialog.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/caption_window.h"
#include "platform/bitmap.h"

class TStringCaptionWindow : public CaptionWindow {
 public:
  using MessageSink = std::function<void(const AnsiString&)>;
  explicit TStringCaptionWindow(MessageSink messages = {}) : messages_(std::move(messages)) {}

  AnsiString Title;
  AnsiString SecondLine;
  std::vector<AnsiString> Description;  // one entry per line
  std::optional<std::string> SaveFileName;

  AnsiString TitleText() const override { return Title; }
  AnsiString SecondLineText() const override { return SecondLine; }
  int DescriptionLineCount() const override;
  AnsiString DescriptionLine(int index) const override;
  void SetDescriptionLine(int index, const AnsiString& text) override;
  void DeleteDescriptionLine(int index) override;
  void DeleteDescriptionLinesFrom(int index) override;
  COLORREF FontColor() const override { return fontColor_; }
  void SetFontColor(COLORREF color) override { fontColor_ = color; }
  void SetFontCaptionColor(COLORREF) override {}
  COLORREF BorderColor() const override { return borderColor_; }
  void SetBorderColor(COLORREF color) override { borderColor_ = color; }
  void SetBorderCaptionColor(COLORREF) override {}
  TBitmap& Picture() override { return picture_; }
  void RepaintImage() override {}
  void ShowMessage(const AnsiString& text) override;
  std::optional<COLORREF> ExecuteColorDialog(COLORREF) override { return std::nullopt; }
  std::optional<std::string> ExecuteSaveDialog() override { return SaveFileName; }

 private:
  MessageSink messages_;
  COLORREF fontColor_ = clWhite;
  COLORREF borderColor_ = clBlack;
  TBitmap picture_;
};

// The lines of a description as a memo holds them: split at every line feed (a carriage return
// before one is dropped). A text ending in a line break ends in an empty line, which the line
// count leaves out as the memo's does; an empty text is one empty line.
std::vector<std::string> SplitDescription(const std::string& text);

// A message for a terminal: UTF-8, or the raw bytes when they are not valid Shift_JIS.
std::string MessageUtf8(const AnsiString& text);
