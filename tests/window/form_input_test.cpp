#include <gtest/gtest.h>

#include <QClipboard>
#include <QFile>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

#include "app/temp_folder.h"
#include "tests/libpng_decode.h"
#include "window_test_util.h"

namespace {

// Refusals and text that arrives without a key release are handled from the event loop; this
// runs what is queued.
void DeliverQueued() {
  QApplication::processEvents();
}

// Text already in the description that no guard has looked at yet.
void SetUnguardedDescription(TForm1& form, const QString& text) {
  const QSignalBlocker unreported(form.Memo1);
  form.Memo1->setPlainText(text);
}

QString Lines(int count) {
  QStringList lines;
  for (int i = 1; i <= count; ++i) lines << QString::number(i);
  return lines.join('\n');
}

void SendInputMethod(QWidget* field, const QString& preedit, const QString& commit = {}) {
  QInputMethodEvent event(preedit, {});
  event.setCommitString(commit);
  QApplication::sendEvent(field, &event);
}

}  // namespace

TEST(FormInput, TypingInEachHeadingFieldRedraws) {
  WindowFixture w;
  const QImage blank = w.Shown();
  Type(w.form->Edit1, "T", Qt::Key_T);
  EXPECT_EQ(w.form->Edit1->text(), "T");
  const QImage withTitle = w.Shown();
  EXPECT_NE(withTitle, blank);
  Type(w.form->Edit2, "2", Qt::Key_2);
  EXPECT_EQ(w.form->Edit2->text(), "2");
  EXPECT_NE(w.Shown(), withTitle);
  EXPECT_TRUE(w.dialogs->messages.isEmpty());
}

TEST(FormInput, EveryKeyReleaseInTheDescriptionRedraws) {
  WindowFixture w;
  w.form->Memo1->setFocus();
  const QImage blank = w.Shown();
  Type(w.form->Memo1, "x", Qt::Key_X);
  EXPECT_EQ(w.form->Memo1->toPlainText(), "x");
  EXPECT_NE(w.Shown(), blank);
  EXPECT_EQ(w.form->DescriptionLineCount(), 1);
}

TEST(FormInput, TheKeyReleaseGuardTrimsEachTooWideLineAfterItsMessage) {
  WindowFixture w;
  const QString wide(60, QChar(u'W'));
  SetUnguardedDescription(*w.form, "short\n" + wide + "\nok\n" + wide + "\n");
  ReleaseKey(w.form->Memo1, Qt::Key_Shift);
  ASSERT_EQ(w.dialogs->messages.size(), 2);
  EXPECT_EQ(w.dialogs->messages[0], "2行目を自動調整で文字削除します");
  EXPECT_EQ(w.dialogs->messages[1], "4行目を自動調整で文字削除します");
  const QStringList lines = w.form->Memo1->toPlainText().split('\n');
  ASSERT_EQ(lines.size(), 5);
  EXPECT_EQ(lines[0], "short");
  EXPECT_TRUE(wide.startsWith(lines[1]));
  EXPECT_LT(lines[1].size(), wide.size());
  EXPECT_GT(lines[1].size(), 10);
  EXPECT_EQ(lines[3], lines[1]);
  EXPECT_EQ(w.form->DescriptionLineCount(), 4);
}

TEST(FormInput, AutoRepeatReleasesDoNotRunTheGuard) {
  WindowFixture w;
  SetUnguardedDescription(*w.form, QString(60, QChar(u'W')));
  QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_W, Qt::NoModifier, "W", /*autorep=*/true);
  QApplication::sendEvent(w.form->Memo1, &repeat);
  DeliverQueued();
  EXPECT_TRUE(w.dialogs->messages.isEmpty());
}

TEST(FormInput, NothingIsGuardedWhileTheInputMethodComposesAndTheCommitIs) {
  WindowFixture w;
  TForm1& f = *w.form;
  const QString wide(60, QChar(u'W'));
  SetUnguardedDescription(f, wide);
  f.Memo1->setFocus();
  SendInputMethod(f.Memo1, {});  // what the input method sends when a box takes the focus
  DeliverQueued();
  EXPECT_TRUE(w.dialogs->messages.isEmpty());
  SendInputMethod(f.Memo1, QStringLiteral("にほん"));
  ReleaseKey(f.Memo1, Qt::Key_N);  // a release the input method let through
  DeliverQueued();
  EXPECT_TRUE(w.dialogs->messages.isEmpty());
  EXPECT_EQ(f.Memo1->toPlainText(), wide);
  SendInputMethod(f.Memo1, {}, QStringLiteral("日本"));
  DeliverQueued();
  ASSERT_EQ(w.dialogs->messages.size(), 1);
  EXPECT_EQ(w.dialogs->messages[0], "1行目を自動調整で文字削除します");
  EXPECT_LT(f.Memo1->toPlainText().size(), wide.size());

  // A title committed while the next word is still composed: the line-limit box waits for the
  // end of the composition, and so does the picture.
  SetUnguardedDescription(f, Lines(10));
  f.Edit1->setFocus();
  const QImage before = w.Shown();
  SendInputMethod(f.Edit1, QStringLiteral("しま"), QStringLiteral("星"));
  DeliverQueued();
  EXPECT_EQ(f.Edit1->text(), "星");
  EXPECT_EQ(w.dialogs->messages.size(), 1);
  EXPECT_EQ(w.Shown(), before);
  SendInputMethod(f.Edit1, {}, QStringLiteral("島"));
  DeliverQueued();
  ASSERT_EQ(w.dialogs->messages.size(), 2);
  EXPECT_EQ(w.dialogs->messages[1], "説明は9行までにしてください");
  EXPECT_EQ(f.DescriptionLineCount(), 9);
  EXPECT_NE(w.Shown(), before);
}

TEST(FormInput, TheLineLimitLeavesTheCaretOnAnEmptyLastLineInView) {
  WindowFixture w;
  TForm1& f = *w.form;
  Type(f.Edit1, "T", Qt::Key_T);
  f.Memo1->setFocus();
  for (int line = 1; line <= 10; ++line) {
    if (line > 1) Type(f.Memo1, "\r", Qt::Key_Return);
    Type(f.Memo1, QString::number(line % 10), Qt::Key_0 + line % 10);
  }
  ASSERT_EQ(w.dialogs->messages.size(), 1);
  EXPECT_EQ(w.dialogs->messages[0], "説明は9行までにしてください");
  EXPECT_EQ(f.Memo1->toPlainText(), Lines(9) + "\n");
  EXPECT_EQ(f.Memo1->textCursor().blockNumber(), 9);
  QApplication::processEvents();
  EXPECT_EQ(f.Memo1->verticalScrollBar()->maximum(), 0);
  EXPECT_FALSE(f.Memo1->verticalScrollBar()->isVisible());
  EXPECT_FALSE(f.Memo1->horizontalScrollBar()->isVisible());
}

TEST(FormInput, CharactersWithoutShiftJisAreRefusedInTheEdits) {
  WindowFixture w;
  Type(w.form->Edit1, "星", Qt::Key_unknown);
  const QImage before = w.Shown();
  Type(w.form->Edit1, QString::fromUtf8("😀"), Qt::Key_unknown);
  DeliverQueued();
  EXPECT_EQ(w.form->Edit1->text(), "星");
  EXPECT_EQ(w.Shown(), before);
  ASSERT_EQ(w.dialogs->messages.size(), 1);
  EXPECT_TRUE(w.dialogs->messages.last().contains("U+1F600"))
      << w.dialogs->messages.last().toStdString();

  Type(w.form->Edit2, QString::fromUtf8("é"), Qt::Key_unknown);
  DeliverQueued();
  EXPECT_EQ(w.form->Edit2->text(), "");
  ASSERT_EQ(w.dialogs->messages.size(), 2);
  EXPECT_TRUE(w.dialogs->messages.last().contains("U+00E9"));
}

TEST(FormInput, CharactersWithoutShiftJisAreRefusedInTheDescription) {
  WindowFixture w;
  w.form->Memo1->setFocus();
  Type(w.form->Memo1, "a", Qt::Key_A);
  Type(w.form->Memo1, QString::fromUtf8("😀"), Qt::Key_unknown);
  DeliverQueued();
  EXPECT_EQ(w.form->Memo1->toPlainText(), "a");
  ASSERT_EQ(w.dialogs->messages.size(), 1);

  // Committed by an input method: refused, and the composition does not linger.
  QInputMethodEvent preedit(QStringLiteral("ほし"), {});
  QApplication::sendEvent(w.form->Memo1, &preedit);
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("星😀"));
  QApplication::sendEvent(w.form->Memo1, &commit);
  DeliverQueued();
  EXPECT_EQ(w.form->Memo1->toPlainText(), "a");
  EXPECT_EQ(w.dialogs->messages.size(), 2);

  // Pasted: refused whole.
  QGuiApplication::clipboard()->setText(QString::fromUtf8("ok😀"));
  w.form->Memo1->paste();
  DeliverQueued();
  EXPECT_EQ(w.form->Memo1->toPlainText(), "a");
  EXPECT_EQ(w.dialogs->messages.size(), 3);
}

// The ways text reaches a field without a key release.
enum class Route { kMenuPaste, kDrop };

struct ArrivalCase {
  const char* name;
  bool memo;  // Memo1 rather than Edit1
  Route route;
};

void PrintTo(const ArrivalCase& c, std::ostream* os) {
  *os << c.name;
}

std::unique_ptr<QMenu> ContextMenu(QWidget* field) {
  if (auto* memo = qobject_cast<QTextEdit*>(field))
    return std::unique_ptr<QMenu>(memo->createStandardContextMenu());
  return std::unique_ptr<QMenu>(static_cast<QLineEdit*>(field)->createStandardContextMenu());
}

// Found by the shortcut the menu shows beside it, which no translation changes.
void TriggerMenuAction(QWidget* field, QKeySequence::StandardKey key) {
  const auto menu = ContextMenu(field);
  const QString suffix = '\t' + QKeySequence(key).toString(QKeySequence::NativeText);
  for (QAction* action : menu->actions()) {
    if (action->text().endsWith(suffix)) return action->trigger();
  }
  ADD_FAILURE() << "no menu action for " << suffix.toStdString();
}

void Drop(QWidget* field, const QMimeData& data) {
  auto* memo = qobject_cast<QTextEdit*>(field);
  QWidget* target = memo ? memo->viewport() : field;
  const QPoint at(5, 5);
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &move);
  QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

void Deliver(QWidget* field, Route route, const QString& text) {
  if (route == Route::kMenuPaste) {
    QGuiApplication::clipboard()->setText(text);
    return TriggerMenuAction(field, QKeySequence::Paste);
  }
  QMimeData data;
  data.setText(text);
  Drop(field, data);
}

class FormArrival : public testing::TestWithParam<ArrivalCase> {};

TEST_P(FormArrival, RefusedOrRedrawnAsTypedTextAndUndoneFromTheMenu) {
  WindowFixture w;
  const ArrivalCase& c = GetParam();
  QWidget* field = c.memo ? static_cast<QWidget*>(w.form->Memo1) : w.form->Edit1;
  const auto text = [&] { return c.memo ? w.form->Memo1->toPlainText() : w.form->Edit1->text(); };
  field->setFocus();
  const QImage blank = w.Shown();

  Deliver(field, c.route, QString::fromUtf8("😀"));
  DeliverQueued();
  ASSERT_EQ(w.dialogs->messages.size(), 1);
  EXPECT_TRUE(w.dialogs->messages[0].contains("U+1F600"));
  EXPECT_EQ(text(), "");

  Deliver(field, c.route, QStringLiteral("星"));
  DeliverQueued();
  EXPECT_EQ(text(), "星");
  EXPECT_NE(w.Shown(), blank);

  TriggerMenuAction(field, QKeySequence::Undo);
  DeliverQueued();
  EXPECT_EQ(text(), "");
  EXPECT_EQ(w.Shown(), blank);
  EXPECT_EQ(w.dialogs->messages.size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FormArrival,
    testing::Values(ArrivalCase{"TitlePastedFromTheMenu", false, Route::kMenuPaste},
                    ArrivalCase{"TitleDropped", false, Route::kDrop},
                    ArrivalCase{"DescriptionPastedFromTheMenu", true, Route::kMenuPaste},
                    ArrivalCase{"DescriptionDropped", true, Route::kDrop}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormInput, JapaneseFromTheInputMethodGoesIntoEveryField) {
  WindowFixture w;
  for (QWidget* field : {static_cast<QWidget*>(w.form->Edit1), static_cast<QWidget*>(w.form->Edit2),
                         static_cast<QWidget*>(w.form->Memo1)}) {
    EXPECT_TRUE(field->testAttribute(Qt::WA_InputMethodEnabled));
    field->setFocus();
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("星の島"));
    QApplication::sendEvent(field, &commit);
  }
  EXPECT_EQ(w.form->TitleText(), AnsiString::FromUtf8("星の島"));
  EXPECT_EQ(w.form->SecondLineText(), AnsiString::FromUtf8("星の島"));
  EXPECT_EQ(w.form->DescriptionLine(0), AnsiString::FromUtf8("星の島"));
  EXPECT_TRUE(w.dialogs->messages.isEmpty());
}

TEST(FormInput, DescriptionLinesAsTheMemoHoldsThem) {
  WindowFixture w;
  TForm1& f = *w.form;
  EXPECT_EQ(f.DescriptionLineCount(), 0);
  f.Memo1->setPlainText("a\nb\n");
  EXPECT_EQ(f.DescriptionLineCount(), 2);
  f.Memo1->setPlainText("a\n\nc");
  EXPECT_EQ(f.DescriptionLineCount(), 3);
  f.SetDescriptionLine(1, AnsiString::FromUtf8("二"));
  EXPECT_EQ(f.Memo1->toPlainText(), "a\n二\nc");
  f.DeleteDescriptionLine(2);  // the last line: its break before stays, as in a memo
  EXPECT_EQ(f.Memo1->toPlainText(), "a\n二\n");
  EXPECT_EQ(f.DescriptionLineCount(), 2);
  f.DeleteDescriptionLine(0);
  EXPECT_EQ(f.Memo1->toPlainText(), "二\n");
  f.DeleteDescriptionLine(0);
  EXPECT_EQ(f.Memo1->toPlainText(), "");
  EXPECT_EQ(f.DescriptionLineCount(), 0);
  // Dropping every line from one on ends as deleting that line until none is left would.
  for (const char* text : {"a\nb\nc\nd", "a\nb\nc\nd\n"}) {
    f.Memo1->setPlainText(text);
    f.DeleteDescriptionLinesFrom(2);
    EXPECT_EQ(f.Memo1->toPlainText(), "a\nb\n");
  }
}

struct ColourCase {
  const char* name;
  bool border;  // PBorderColor rather than PFontColor
  QColor chosen;
  COLORREF colour;
  COLORREF caption;
};

void PrintTo(const ColourCase& c, std::ostream* os) {
  *os << c.name;
}

class FormColour : public testing::TestWithParam<ColourCase> {};

TEST_P(FormColour, AConfirmedColourSetsThePanelItsCaptionAndRedraws) {
  WindowFixture w;
  const ColourCase& c = GetParam();
  Type(w.form->Edit1, "T", Qt::Key_T);  // bars and text, so colours show
  const QImage before = w.Shown();
  w.dialogs->colours.push_back(c.chosen);
  (c.border ? w.form->PBorderColor : w.form->PFontColor)->click();
  ASSERT_EQ(w.dialogs->colourStarts.size(), 1u);
  EXPECT_EQ(w.dialogs->colourStarts[0], c.border ? QColor(Qt::black) : QColor(Qt::white));
  EXPECT_EQ(c.border ? w.form->BorderColor() : w.form->FontColor(), c.colour);
  EXPECT_EQ(c.border ? w.form->BorderCaptionColor() : w.form->FontCaptionColor(), c.caption);
  EXPECT_NE(w.Shown(), before);
  EXPECT_TRUE((c.border ? w.form->PBorderColor : w.form->PFontColor)
                  ->styleSheet()
                  .contains(c.chosen.name()));
}

INSTANTIATE_TEST_SUITE_P(
    Panels, FormColour,
    testing::Values(ColourCase{"TextBlack", false, QColor(0, 0, 0), 0x000000, 0xFFFFFF},
                    ColourCase{"TextAlmostBlack", false, QColor(1, 0, 0), 0x000001, 0x000000},
                    ColourCase{"OutlineRed", true, QColor(255, 0, 0), 0x0000FF, 0x000000},
                    ColourCase{"OutlineBlue", true, QColor(0, 0, 255), 0xFF0000, 0x000000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormColourCancel, CancellingChangesNothingAndDoesNotRedraw) {
  WindowFixture w;
  Type(w.form->Edit1, "T", Qt::Key_T);
  const qint64 shown = w.form->Image1->pixmap().cacheKey();
  w.form->PBorderColor->click();  // no answer queued: cancelled
  EXPECT_EQ(w.dialogs->colourStarts.size(), 1u);
  EXPECT_EQ(w.form->BorderColor(), clBlack);
  EXPECT_EQ(w.form->BorderCaptionColor(), clWhite);
  EXPECT_EQ(w.form->Image1->pixmap().cacheKey(), shown);
}

TEST(FormColourCancel, ConfirmingTheSameColourStillRedraws) {
  WindowFixture w;
  const qint64 shown = w.form->Image1->pixmap().cacheKey();
  w.dialogs->colours.push_back(QColor(Qt::white));
  w.form->PFontColor->click();
  EXPECT_EQ(w.form->FontColor(), clWhite);
  EXPECT_EQ(w.form->FontCaptionColor(), clBlack);
  EXPECT_NE(w.form->Image1->pixmap().cacheKey(), shown);
}

TEST(FormClipboard, CtrlCOnThePictureCopiesItAsAnImageAndAsTheSavedPng) {
  TempFolder folder;
  WindowFixture w;
  Type(w.form->Edit1, "T", Qt::Key_T);
  QGuiApplication::clipboard()->clear();
  w.form->Image1->setFocus();
  PressKey(w.form->Image1, Qt::Key_C, "\x03", Qt::ControlModifier);
  const QImage copied = QGuiApplication::clipboard()->image();
  ASSERT_FALSE(copied.isNull());
  EXPECT_EQ(copied.size(), QSize(310, 180));
  EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
            w.Shown().convertToFormat(QImage::Format_RGB32));

  // The PNG form is the file the save writes, grey transparent and declared background.
  const QByteArray png = QGuiApplication::clipboard()->mimeData()->data("image/png");
  WriteFileBytes(folder.File("copied.png"), png.toStdString());
  const LibpngImage decoded = DecodePngFile(folder.File("copied.png"));
  ASSERT_TRUE(decoded.ok) << decoded.error;
  const auto transparent = TransparentIndex(decoded);
  ASSERT_TRUE(transparent.has_value());
  EXPECT_EQ(decoded.backgroundIndex, transparent);
  EXPECT_EQ(decoded.At(0, 0), *transparent);
  w.dialogs->saves.push_back(QString::fromStdString(folder.File("saved.png")));
  w.form->Button2->click();
  EXPECT_EQ(ReadFileBytes(folder.File("saved.png")), png.toStdString());
}

TEST(FormClipboard, ThePictureIsDraggedAsThatPngInAFileThatLivesWithTheWindow) {
  WindowFixture w;
  QByteArray png;
  QString path;
  {
    const auto dragged = w.form->PictureDragData();
    png = dragged->data("image/png");
    ASSERT_EQ(dragged->urls().size(), 1);
    path = dragged->urls()[0].toLocalFile();
  }
  EXPECT_TRUE(path.endsWith(".png"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), png);
  // Dropped back on the window's own fields, the picture is not taken for text.
  for (QWidget* field :
       {static_cast<QWidget*>(w.form->Edit1), static_cast<QWidget*>(w.form->Memo1)})
    Drop(field, *w.form->PictureDragData());
  EXPECT_EQ(w.form->Edit1->text(), "");
  EXPECT_EQ(w.form->Memo1->toPlainText(), "");
  w.form.reset();
  EXPECT_FALSE(QFile::exists(path));
}

TEST(FormClipboard, CtrlCInAnEditWithASelectionCopiesTheText) {
  WindowFixture w;
  w.form->Edit1->setText("title");
  w.form->Edit1->setFocus();
  w.form->Edit1->selectAll();
  QGuiApplication::clipboard()->clear();
  PressKey(w.form->Edit1, Qt::Key_C, "\x03", Qt::ControlModifier);
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "title");
  EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());
}
