#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <algorithm>
#include <ostream>
#include <string>

#include "app/window/qt_translation.h"
#include "app/window/sjis_input.h"
#include "window_test_util.h"

TEST(FormLayout, ControlsSitAtTheirClientPositions) {
  WindowFixture w;
  TForm1& f = *w.form;
  EXPECT_EQ(f.Edit1->geometry(), QRect(8, 8, 313, 20));
  EXPECT_EQ(f.Edit2->geometry(), QRect(8, 32, 313, 20));
  EXPECT_EQ(f.Memo1->geometry(), QRect(8, 64, 313, 129));
  EXPECT_EQ(f.Image1->geometry(), QRect(8, 200, 310, 180));
  EXPECT_EQ(f.PFontColor->geometry(), QRect(168, 392, 73, 25));
  EXPECT_EQ(f.PBorderColor->geometry(), QRect(248, 392, 73, 25));
  EXPECT_EQ(f.Button1->geometry(), QRect(168, 427, 75, 25));
  EXPECT_EQ(f.Button2->geometry(), QRect(248, 427, 75, 25));
}

TEST(FormLayout, AFixedWindowCaptionedNimbrelWithoutMaximise) {
  WindowFixture w;
  TForm1& f = *w.form;
  EXPECT_EQ(f.windowTitle(), "Nimbrel");
  EXPECT_EQ(f.minimumSize(), QSize(330, 458));
  EXPECT_EQ(f.maximumSize(), QSize(330, 458));
  EXPECT_FALSE(f.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(f.windowFlags() & Qt::WindowMinimizeButtonHint);
  f.resize(600, 600);
  EXPECT_EQ(f.size(), QSize(330, 458));
}

TEST(FormLayout, CaptionsHintsAndTheWindowFont) {
  WindowFixture w;
  TForm1& f = *w.form;
  EXPECT_EQ(f.Button1->text(), QString::fromUtf8("描\u3000画"));
  EXPECT_EQ(f.Button2->text(), QString::fromUtf8("保\u3000存"));
  EXPECT_EQ(f.PFontColor->text(), "文字色");
  EXPECT_EQ(f.PBorderColor->text(), "文字の枠");
  EXPECT_EQ(f.Edit1->toolTip(), "タイトル");
  EXPECT_EQ(f.Edit2->toolTip(), "発売日とか");
  EXPECT_EQ(f.Memo1->toolTip(), "ここはソフトの説明を入れる");
  EXPECT_EQ(f.PFontColor->toolTip(), "文字色");
  EXPECT_EQ(f.PBorderColor->toolTip(), "文字の枠");
  EXPECT_TRUE(f.Button1->toolTip().isEmpty());
  EXPECT_TRUE(f.Button2->toolTip().isEmpty());
  EXPECT_TRUE(f.Image1->toolTip().isEmpty());
  EXPECT_EQ(f.font().pixelSize(), 12);
  EXPECT_EQ(f.Memo1->lineWrapMode(), QTextEdit::NoWrap);
  // The first family is one that is installed and has Japanese glyphs, when any is.
  const QString first = TForm1::WindowFont().families().constFirst();
  if (QFontDatabase::hasFamily(first)) {
    EXPECT_TRUE(QFontDatabase::writingSystems(first).contains(QFontDatabase::Japanese));
  }
}

bool HasJapanese(const QString& text) {
  return std::any_of(text.begin(), text.end(), [](QChar c) {
    return (c >= QChar(0x3040) && c <= QChar(0x30FF)) || (c >= QChar(0x4E00) && c <= QChar(0x9FFF));
  });
}

// The title and every button of the dialog's button box but "OK", which Japanese keeps.
void ExpectJapanese(const QDialog& dialog) {
  EXPECT_TRUE(HasJapanese(dialog.windowTitle())) << dialog.windowTitle().toStdString();
  const auto* box = dialog.findChild<QDialogButtonBox*>();
  ASSERT_NE(box, nullptr);
  ASSERT_FALSE(box->buttons().isEmpty());
  for (const QAbstractButton* button : box->buttons()) {
    if (button->text() == "OK") continue;
    EXPECT_TRUE(HasJapanese(button->text())) << button->text().toStdString();
  }
}

// The user's locale for the life of the object, whatever the machine's own.
class UserLocale {
 public:
  explicit UserLocale(const QLocale& locale) { QLocale::setDefault(locale); }
  ~UserLocale() { QLocale::setDefault(previous_); }

 private:
  QLocale previous_;
};

TEST(FormLayout, QtsOwnDialogsAndMenusSpeakTheUsersLanguage) {
  TestApplication();
  const UserLocale japanese(QLocale(QLocale::Japanese, QLocale::Japan));
  const TQtTranslation translation;
  ASSERT_TRUE(translation.Installed()) << "Qt's Japanese catalogue is not installed";
  WindowFixture w;
  ExpectJapanese(*w.form->SaveDialog1);
  ExpectJapanese(*w.form->ColorDialog1);
  const std::unique_ptr<QMenu> menu(w.form->Memo1->createStandardContextMenu());
  EXPECT_TRUE(HasJapanese(menu->actions().constFirst()->text()));
}

TEST(FormLayout, TabOrderStartsAtTheDrawButtonAndSkipsThePanels) {
  WindowFixture w;
  TForm1& f = *w.form;
  EXPECT_EQ(f.focusWidget(), f.Button1);
  EXPECT_EQ(f.PFontColor->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(f.PBorderColor->focusPolicy(), Qt::NoFocus);
  std::vector<QWidget*> order;
  QWidget* widget = f.Button1;
  do {
    if (widget->focusPolicy() & Qt::TabFocus) order.push_back(widget);
    widget = widget->nextInFocusChain();
  } while (widget != f.Button1);
  EXPECT_EQ(order, (std::vector<QWidget*>{f.Button1, f.Edit1, f.Edit2, f.Button2, f.Memo1}));
}

TEST(FormLayout, ThePictureOpensPlainGreyAtItsNaturalSize) {
  WindowFixture w;
  const QImage shown = w.Shown();
  ASSERT_EQ(shown.size(), QSize(310, 180));
  const QRgb corner = shown.pixel(0, 0);
  EXPECT_LT(
      std::abs(qRed(corner) - 242) + std::abs(qGreen(corner) - 242) + std::abs(qBlue(corner) - 242),
      30);
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 310; ++x) ASSERT_EQ(shown.pixel(x, y), corner);
  EXPECT_FALSE(w.form->Image1->hasScaledContents());
}

struct FullStopCase {
  const char* message;
  const char* shown;
};

void PrintTo(const FullStopCase& c, std::ostream* os) {
  *os << '"' << c.message << '"';
}

class ErrorBoxFullStop : public testing::TestWithParam<FullStopCase> {};

TEST_P(ErrorBoxFullStop, AppendedWhenTheLastCharacterSortsAfterIt) {
  EXPECT_EQ(ErrorBoxText(QString::fromUtf8(GetParam().message)),
            QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ErrorBoxFullStop,
    testing::Values(FullStopCase{"PNG SaveStream: error", "PNG SaveStream: error."},
                    FullStopCase{"done.", "done."}, FullStopCase{"what!", "what!"},
                    FullStopCase{"a-", "a-"}, FullStopCase{"a/", "a/."},
                    FullStopCase{"ファイル x を作成できません", "ファイル x を作成できません."},
                    FullStopCase{"", ""}),
    [](const auto& info) { return "Message" + std::to_string(info.index); });

TEST(RefusedCharacters, FoundAndNamedByCodePoint) {
  EXPECT_EQ(FirstUnencodable(QString::fromUtf8("星の島①~\\")), std::nullopt);
  EXPECT_EQ(FirstUnencodable(QString::fromUtf8("ab😀c")), char32_t(0x1F600));
  EXPECT_EQ(FirstUnencodable(QString::fromUtf8("aé")), char32_t(0xE9));
  EXPECT_EQ(FirstUnencodable(QString(QChar(0xD800))), char32_t(0xD800));
  EXPECT_TRUE(RefusedCharacterMessage(0x1F600).contains("U+1F600"));
  EXPECT_TRUE(RefusedCharacterMessage(0xE9).contains("U+00E9"));
}
