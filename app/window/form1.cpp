#include "app/window/form1.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDrag>
#include <QFile>
#include <QFileDialog>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTimer>
#include <QUrl>

#include "app/composer.h"
#include "app/save_command.h"
#include "app/window/line_edit.h"
#include "app/window/memo_edit.h"
#include "app/window/picture_image.h"
#include "app/window/picture_label.h"
#include "app/window/sjis_input.h"
#include "platform/font_lookup.h"

namespace {

constexpr int kClientWidth = 330;
constexpr int kClientHeight = 458;
constexpr int kScreenLeft = 192;
constexpr int kScreenTop = 114;

QString FromAnsi(const AnsiString& text) {
  try {
    return QString::fromStdU16String(text.ToUtf16());
  } catch (const EConvertError&) {
    return QString::fromLocal8Bit(text.bytes().data(), qsizetype(text.size()));
  }
}

AnsiString ToAnsi(const QString& text) {
  return AnsiString::FromUtf16(text.toStdU16String());
}

QColor ToQColor(COLORREF c) {
  return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

COLORREF ToColorRef(const QColor& c) {
  return RGB(BYTE(c.red()), BYTE(c.green()), BYTE(c.blue()));
}

QPushButton* MakePanel(const QString& caption, QWidget* parent) {
  auto* panel = new QPushButton(caption, parent);
  panel->setFocusPolicy(Qt::NoFocus);  // a panel is clicked, never tabbed to
  panel->setAutoDefault(false);
  return panel;
}

}  // namespace

TForm1::TForm1(std::unique_ptr<TFormDialogs> dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<TFormDialogs>()) {
  setWindowTitle(QStringLiteral("Nimbrel"));
  setFont(WindowFont());
  setFixedSize(kClientWidth, kClientHeight);
  move(kScreenLeft, kScreenTop);
  fontCaption_ = ToColorRef(palette().color(QPalette::WindowText));

  CreateComponents();
  CreateDialogs();
  PlaceControls();
  SetHints();
  SetTabOrder();
  Connect();
  PaintPanel(PFontColor, fontColor_, fontCaption_);
  PaintPanel(PBorderColor, borderColor_, borderCaption_);
  FormCreate();
}

TForm1::~TForm1() = default;

QFont TForm1::WindowFont() {
  // The canvas's own family list, so that the window and the picture show one face.
  QStringList order;
  for (const std::string& family : JapaneseGothicFamilies())
    order.append(QString::fromStdString(family));
  for (const QString& family : QStringList(order)) {
    if (QFontDatabase::hasFamily(family) &&
        QFontDatabase::writingSystems(family).contains(QFontDatabase::Japanese)) {
      order.removeAll(family);
      order.prepend(family);
      break;
    }
  }
  QFont font;
  font.setFamilies(order);
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  return font;
}

void TForm1::CreateComponents() {
  Button1 = new QPushButton(QStringLiteral("描\u3000画"), this);
  Edit1 = new TLineEdit(this);
  Edit2 = new TLineEdit(this);
  Button2 = new QPushButton(QStringLiteral("保\u3000存"), this);
  Image1 = new TPictureLabel(this);
  Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Image1->setFocusPolicy(Qt::ClickFocus);  // clicking the picture lets Ctrl+C copy it
  Memo1 = new TMemoEdit(this);
  PFontColor = MakePanel(QStringLiteral("文字色"), this);
  PBorderColor = MakePanel(QStringLiteral("文字の枠"), this);
  for (QLineEdit* edit : {Edit1, Edit2}) {
    auto* validator = new TSjisValidator(edit);
    edit->setValidator(validator);
    connect(validator, &TSjisValidator::refused, this, &TForm1::QueueRefusedCharacter);
  }
  connect(Memo1, &TMemoEdit::refused, this, &TForm1::QueueRefusedCharacter);
}

void TForm1::CreateDialogs() {
  OpenDialog1 = new QFileDialog(this);
  OpenDialog1->setNameFilters({QStringLiteral("PNG (*.png)"), QStringLiteral("BMP (*.bmp)")});
  OpenDialog1->setFileMode(QFileDialog::ExistingFile);

  SaveDialog1 = new QFileDialog(this);
  SaveDialog1->setAcceptMode(QFileDialog::AcceptSave);
  SaveDialog1->setNameFilter(QStringLiteral("PNG (*.png)"));
  SaveDialog1->setDefaultSuffix(QStringLiteral("png"));
  SaveDialog1->setOption(QFileDialog::DontConfirmOverwrite);

  ColorDialog1 = new QColorDialog(this);
}

void TForm1::PlaceControls() {
  Edit1->setGeometry(8, 8, 313, 20);
  Edit2->setGeometry(8, 32, 313, 20);
  Memo1->setGeometry(8, 64, 313, 129);
  Image1->setGeometry(8, 200, kPictureWidth, kPictureHeight);
  PFontColor->setGeometry(168, 392, 73, 25);
  PBorderColor->setGeometry(248, 392, 73, 25);
  Button1->setGeometry(168, 427, 75, 25);
  Button2->setGeometry(248, 427, 75, 25);
}

void TForm1::SetHints() {
  Edit1->setToolTip(QStringLiteral("タイトル"));
  Edit2->setToolTip(QStringLiteral("発売日とか"));
  Memo1->setToolTip(QStringLiteral("ここはソフトの説明を入れる"));
  PFontColor->setToolTip(QStringLiteral("文字色"));
  PBorderColor->setToolTip(QStringLiteral("文字の枠"));
}

void TForm1::SetTabOrder() {
  QWidget::setTabOrder(Button1, Edit1);
  QWidget::setTabOrder(Edit1, Edit2);
  QWidget::setTabOrder(Edit2, Button2);
  QWidget::setTabOrder(Button2, Memo1);
  Button1->setFocus();  // the first tab stop takes the focus when the window opens
}

void TForm1::Connect() {
  connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
  connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
  connect(Edit1, &TLineEdit::textSettled, this, &TForm1::Edit1Change);
  connect(Edit2, &TLineEdit::textSettled, this, &TForm1::Edit2Change);
  // Text that comes without a key release (pasted, dropped, committed by the input method) is
  // guarded as typed text is.
  connect(Memo1, &TMemoEdit::keyReleased, this, &TForm1::Memo1KeyUp);
  connect(Memo1, &TMemoEdit::textArrived, this, &TForm1::Memo1KeyUp);
  connect(Image1, &TPictureLabel::dragStarted, this, &TForm1::DragPicture);
  connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
          &TForm1::Button2Click);
  connect(PFontColor, &QPushButton::clicked, this, &TForm1::PFontColorClick);
  connect(PBorderColor, &QPushButton::clicked, this, &TForm1::PBorderColorClick);
}

template <class F>
void TForm1::Guarded(F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    // The system's message alone: the window's boxes carry no operating-system reason.
    dialogs_->Error(this, ErrorBoxText(QString::fromUtf8(e.what())));
  }
}

void TForm1::Button1Click() {
  Guarded([&] { composer_.Button1Click(); });
}
void TForm1::Button2Click() {
  Guarded([&] { composer_.Button2Click(); });
}
void TForm1::FormCreate() {
  Guarded([&] { composer_.FormCreate(); });
}
void TForm1::SpinEdit1Change() {
  Guarded([&] { composer_.SpinEdit1Change(); });
}
void TForm1::Memo1KeyUp() {
  Guarded([&] { composer_.Memo1KeyUp(); });
}
void TForm1::PFontColorClick() {
  Guarded([&] { composer_.PFontColorClick(); });
}
void TForm1::PBorderColorClick() {
  Guarded([&] { composer_.PBorderColorClick(); });
}
void TForm1::Edit2Change() {
  Guarded([&] { composer_.Edit2Change(); });
}
void TForm1::Edit1Change() {
  Guarded([&] { composer_.Edit1Change(); });
}

AnsiString TForm1::TitleText() const {
  return ToAnsi(Edit1->text());
}

AnsiString TForm1::SecondLineText() const {
  return ToAnsi(Edit2->text());
}

int TForm1::DescriptionLineCount() const {
  const QTextDocument* document = Memo1->document();
  int count = document->blockCount();
  if (document->lastBlock().text().isEmpty()) --count;
  return count;
}

AnsiString TForm1::DescriptionLine(int index) const {
  return ToAnsi(Memo1->document()->findBlockByNumber(index).text());
}

void TForm1::SetDescriptionLine(int index, const AnsiString& text) {
  Memo1->ReplaceLine(index, FromAnsi(text));
}

void TForm1::DeleteDescriptionLine(int index) {
  Memo1->DeleteLine(index);
}

void TForm1::DeleteDescriptionLinesFrom(int index) {
  Memo1->DeleteLinesFrom(index);
}

void TForm1::PaintPanel(QPushButton* panel, COLORREF color, COLORREF caption) {
  panel->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; color: %2;"
                                      " border: 1px solid gray; }"
                                      "QPushButton:pressed { border-style: inset; }")
                           .arg(ToQColor(color).name(), ToQColor(caption).name()));
}

void TForm1::SetFontColor(COLORREF color) {
  fontColor_ = color;
  PaintPanel(PFontColor, fontColor_, fontCaption_);
}

void TForm1::SetFontCaptionColor(COLORREF color) {
  fontCaption_ = color;
  PaintPanel(PFontColor, fontColor_, fontCaption_);
}

void TForm1::SetBorderColor(COLORREF color) {
  borderColor_ = color;
  PaintPanel(PBorderColor, borderColor_, borderCaption_);
}

void TForm1::SetBorderCaptionColor(COLORREF color) {
  borderCaption_ = color;
  PaintPanel(PBorderColor, borderColor_, borderCaption_);
}

void TForm1::RepaintImage() {
  shown_ = PictureImage(picture_);
  Image1->setPixmap(QPixmap::fromImage(shown_));
  Image1->repaint();
}

void TForm1::ShowMessage(const AnsiString& text) {
  dialogs_->Message(this, FromAnsi(text));
}

std::optional<COLORREF> TForm1::ExecuteColorDialog(COLORREF initial) {
  ColorDialog1->setCurrentColor(ToQColor(initial));
  const auto chosen = dialogs_->ExecuteColor(*ColorDialog1);
  if (!chosen) return std::nullopt;
  return ToColorRef(*chosen);
}

std::optional<std::string> TForm1::ExecuteSaveDialog() {
  const auto chosen = dialogs_->ExecuteSave(*SaveDialog1);
  if (!chosen) return std::nullopt;
  SaveDialog1->selectFile(*chosen);  // the next save opens on the last name
  return QFile::encodeName(*chosen).toStdString();
}

std::unique_ptr<QMimeData> TForm1::PictureData() {
  auto data = std::make_unique<QMimeData>();
  data->setImageData(shown_);
  const std::vector<std::uint8_t> png = CaptionBytes(picture_);
  data->setData(QStringLiteral("image/png"),
                QByteArray(reinterpret_cast<const char*>(png.data()), qsizetype(png.size())));
  return data;
}

std::unique_ptr<QMimeData> TForm1::PictureDragData() {
  auto data = PictureData();
  if (!dragFolder_) dragFolder_ = std::make_unique<QTemporaryDir>();
  // Without a file the drop still carries the image and the PNG, which other programs take.
  QFile file(dragFolder_->filePath(QStringLiteral("Nimbrel.png")));
  const QByteArray png = data->data(QStringLiteral("image/png"));
  if (dragFolder_->isValid() && file.open(QIODevice::WriteOnly) && file.write(png) == png.size()) {
    file.close();
    data->setUrls({QUrl::fromLocalFile(file.fileName())});
  }
  return data;
}

void TForm1::CopyPictureToClipboard() {
  Guarded([&] { QGuiApplication::clipboard()->setMimeData(PictureData().release()); });
}

void TForm1::DragPicture(QPoint hotSpot) {
  Guarded([&] {
    auto data = PictureDragData();
    auto* drag = new QDrag(Image1);  // deleted by Qt once the drop is over
    drag->setMimeData(data.release());
    // At half size, so the picture does not hide where it is going.
    drag->setPixmap(Image1->pixmap().scaled(Image1->pixmap().size() / 2, Qt::KeepAspectRatio,
                                            Qt::FastTransformation));
    drag->setHotSpot(hotSpot / 2);
    drag->exec(Qt::CopyAction);
  });
}

bool TForm1::EditHasSelection() const {
  const QWidget* focus = focusWidget();
  return (focus == Edit1 && Edit1->hasSelectedText()) ||
         (focus == Edit2 && Edit2->hasSelectedText()) ||
         (focus == Memo1 && Memo1->textCursor().hasSelection());
}

void TForm1::keyPressEvent(QKeyEvent* event) {
  // Reached when the focused control leaves Ctrl+C alone (the buttons, the picture); an edit
  // copies its own selection instead.
  if (event->matches(QKeySequence::Copy) && !EditHasSelection()) {
    CopyPictureToClipboard();
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TForm1::QueueRefusedCharacter(uint character) {
  // A validator may be asked more than once about one edit, and a modal box must not open in
  // the middle of the edit control's own change.
  if (refusalQueued_) return;
  refusalQueued_ = true;
  QTimer::singleShot(0, this, [this, character] {
    refusalQueued_ = false;
    dialogs_->Message(this, RefusedCharacterMessage(char32_t(character)));
  });
}
