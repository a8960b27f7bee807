// The main window's commands: compose the caption picture from the window's inputs, guard the
// width of the description lines, and choose the two colours. They keep nothing between runs;
// everything they read or write lives in the window.
#pragma once

#include "app/caption_window.h"
#include "app/save_command.h"
#include "platform/win_types.h"

class TBitmap;

// The picture's size and background.
constexpr int kPictureWidth = 310;
constexpr int kPictureHeight = 180;
constexpr COLORREF kBackgroundGrey = 15921906;  // 0xF2F2F2: red, green and blue 242
// A description line may be this wide at most: it starts at x = 11 and must end by x = 304.
constexpr int kDescriptionWidthLimit = 293;

// Makes picture the composer's canvas: 8 bits per pixel with the halftone colour table,
// 310 × 180, filled with the background grey.
void MakeCaptionPicture(TBitmap& picture);

class TCaptionComposer {
 public:
  explicit TCaptionComposer(CaptionWindow& window) : window_(window) {}

  // The draw command: enforces the line limit, then recomposes the whole picture.
  void Button1Click();
  // The save command: asks the window for a file name and saves the picture there, as PNG
  // unless options say otherwise; a cancelled dialog does nothing. Errors propagate to the
  // caller (the window shows them); the existing file is never damaged.
  void Button2Click(const SaveOptions& options = {});
  // Makes the picture and composes it once.
  void FormCreate();
  // Width guard over the description, then the draw command.
  void Memo1KeyUp();
  // Colour choice for the text colour / the outline colour; redraws when one was confirmed.
  void PFontColorClick();
  void PBorderColorClick();
  // The heading fields changed; the spin edit is bound to nothing but kept for its callers.
  void Edit1Change() { Button1Click(); }
  void Edit2Change() { Button1Click(); }
  void SpinEdit1Change() { Button1Click(); }

 private:
  CaptionWindow& window_;
};
