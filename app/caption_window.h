// What the composer's commands need of the main window, and nothing more. The Qt window, the
// command line and the tests each supply one; the commands never see a toolkit.
#pragma once

#include <optional>
#include <string>

#include "platform/ansi_string.h"
#include "platform/win_types.h"

class TBitmap;

class CaptionWindow {
 public:
  virtual ~CaptionWindow() = default;

  // The two heading fields (Edit1, Edit2).
  virtual AnsiString TitleText() const = 0;
  virtual AnsiString SecondLineText() const = 0;

  // The description (Memo1). The count leaves out an empty last line, so a text that ends with a
  // line break has as many lines as one without it; an empty field has none. Indices are 0-based
  // and below the count.
  virtual int DescriptionLineCount() const = 0;
  virtual AnsiString DescriptionLine(int index) const = 0;
  virtual void SetDescriptionLine(int index, const AnsiString& text) = 0;
  virtual void DeleteDescriptionLine(int index) = 0;
  // Leaves the first index lines, as deleting line index until no more are left would. Windows
  // override it with one step: a pasted page of lines must not cost a pass per surplus line.
  virtual void DeleteDescriptionLinesFrom(int index);

  // The colour panels (PFontColor: text colour, PBorderColor: outline colour) and the colours of
  // their captions.
  virtual COLORREF FontColor() const = 0;
  virtual void SetFontColor(COLORREF color) = 0;
  virtual void SetFontCaptionColor(COLORREF color) = 0;
  virtual COLORREF BorderColor() const = 0;
  virtual void SetBorderColor(COLORREF color) = 0;
  virtual void SetBorderCaptionColor(COLORREF color) = 0;

  // The picture Image1 shows, and Image1's client rectangle, where each composition starts its
  // text rectangle.
  virtual TBitmap& Picture() = 0;
  virtual TRect ImageClientRect() const { return Rect(0, 0, 310, 180); }
  // Shows the picture's current pixels now.
  virtual void RepaintImage() = 0;

  // A modal message; returns when the user has closed it.
  virtual void ShowMessage(const AnsiString& text) = 0;
  // The colour dialog, opened on initial; the confirmed colour, or nothing when cancelled.
  virtual std::optional<COLORREF> ExecuteColorDialog(COLORREF initial) = 0;
  // The save dialog; the chosen file name (UTF-8 path), or nothing when cancelled.
  virtual std::optional<std::string> ExecuteSaveDialog() = 0;
};
