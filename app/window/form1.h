// TForm1: the one main window. Its controls keep their form names and its slots the handler names
// the composer's commands answer to; the commands themselves are toolkit-free and see the window
// only as a CaptionWindow.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "app/caption_window.h"
#include "app/composer.h"
#include "app/window/form_dialogs.h"
#include "platform/bitmap.h"

class QColorDialog;
class QFileDialog;
class QMimeData;
class QPushButton;
class QTemporaryDir;
class TLineEdit;
class TMemoEdit;
class TPictureLabel;

class TForm1 : public QWidget, public CaptionWindow {
  Q_OBJECT
 public:
  // Builds the window and runs FormCreate. dialogs answers the boxes and dialogs (the Qt ones
  // when null).
  explicit TForm1(std::unique_ptr<TFormDialogs> dialogs = nullptr, QWidget* parent = nullptr);
  ~TForm1() override;

  // The window font: the design's Gothic face, or the first of its stand-ins that is installed
  // and has Japanese glyphs, 12 pixels high.
  static QFont WindowFont();

  // CaptionWindow
  AnsiString TitleText() const override;
  AnsiString SecondLineText() const override;
  int DescriptionLineCount() const override;
  AnsiString DescriptionLine(int index) const override;
  void SetDescriptionLine(int index, const AnsiString& text) override;
  void DeleteDescriptionLine(int index) override;
  void DeleteDescriptionLinesFrom(int index) override;
  COLORREF FontColor() const override { return fontColor_; }
  void SetFontColor(COLORREF color) override;
  void SetFontCaptionColor(COLORREF color) override;
  COLORREF BorderColor() const override { return borderColor_; }
  void SetBorderColor(COLORREF color) override;
  void SetBorderCaptionColor(COLORREF color) override;
  TBitmap& Picture() override { return picture_; }
  void RepaintImage() override;
  void ShowMessage(const AnsiString& text) override;
  std::optional<COLORREF> ExecuteColorDialog(COLORREF initial) override;
  std::optional<std::string> ExecuteSaveDialog() override;

  COLORREF FontCaptionColor() const { return fontCaption_; }
  COLORREF BorderCaptionColor() const { return borderCaption_; }
  // The picture for other programs: as an image, from which the clipboard makes its DIB and BMP
  // forms, and as image/png, the very bytes the save command writes.
  std::unique_ptr<QMimeData> PictureData();
  // The same with a PNG file for file managers; the file lives as long as the window.
  std::unique_ptr<QMimeData> PictureDragData();
  void CopyPictureToClipboard();

  // The components, in their order of declaration.
  QPushButton* Button1;
  QFileDialog* OpenDialog1;
  QFileDialog* SaveDialog1;
  TLineEdit* Edit1;
  TLineEdit* Edit2;
  QPushButton* Button2;
  TPictureLabel* Image1;
  TMemoEdit* Memo1;
  QPushButton* PFontColor;
  QPushButton* PBorderColor;
  QColorDialog* ColorDialog1;

 public slots:
  void Button1Click();
  void Button2Click();
  void FormCreate();
  void SpinEdit1Change();
  void Memo1KeyUp();
  void PFontColorClick();
  void PBorderColorClick();
  void Edit2Change();
  void Edit1Change();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateComponents();
  void CreateDialogs();
  void PlaceControls();
  void SetHints();
  void SetTabOrder();
  void Connect();
  void DragPicture(QPoint hotSpot);
  void PaintPanel(QPushButton* panel, COLORREF color, COLORREF caption);
  // Runs one handler; an exception that escapes it is shown in the error box.
  template <class F>
  void Guarded(F&& handler);
  // Shows the refusal once the edit that caused it has finished, one box per refused edit.
  void QueueRefusedCharacter(uint character);
  bool EditHasSelection() const;

  std::unique_ptr<TFormDialogs> dialogs_;
  TBitmap picture_;
  QImage shown_;
  TCaptionComposer composer_{*this};
  COLORREF fontColor_ = clWhite;
  COLORREF fontCaption_;
  COLORREF borderColor_ = clBlack;
  COLORREF borderCaption_ = clWhite;
  bool refusalQueued_ = false;
  std::unique_ptr<QTemporaryDir> dragFolder_;
};
