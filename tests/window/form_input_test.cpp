#include <gtest/gtest.h>

#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

#include "app/window/sjis_input.h"
#include "window_test_util.h"

namespace {

// Every delivered refusal is queued; this runs the queue.
void DeliverQueued() {
  QApplication::processEvents();
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
  w.form->Memo1->setPlainText("short\n" + wide + "\nok\n" + wide + "\n");
  EXPECT_TRUE(w.dialogs->messages.isEmpty());  // pasted text waits for a key release
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
  w.form->Memo1->setPlainText(QString(60, QChar(u'W')));
  QKeyEvent repeat(QEvent::KeyRelease, Qt::Key_W, Qt::NoModifier, "W", /*autorep=*/true);
  QApplication::sendEvent(w.form->Memo1, &repeat);
  EXPECT_TRUE(w.dialogs->messages.isEmpty());
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
  f.DeleteDescriptionLine(2);
  EXPECT_EQ(f.Memo1->toPlainText(), "a\n二");
  f.DeleteDescriptionLine(0);
  EXPECT_EQ(f.Memo1->toPlainText(), "二");
  f.DeleteDescriptionLine(0);
  EXPECT_EQ(f.DescriptionLineCount(), 0);
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

TEST(FormClipboard, CtrlCOnThePictureCopiesItAsAnImage) {
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
