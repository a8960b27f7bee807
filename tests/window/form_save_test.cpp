#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QLineEdit>

#include "app/temp_folder.h"
#include "tests/libpng_decode.h"
#include "window_test_util.h"

namespace {

// Files above limit bytes cannot be written while it lives, as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t limit) {
    previousHandler_ = ::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit lowered = previous_;
    lowered.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &lowered);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  sighandler_t previousHandler_;
};

const std::string kOld(5000, 'o');
// The bytes of a 310 x 180 8-bit image: rows of 312 bytes.
constexpr rlim_t kPixelMemory = 312 * 180;

}  // namespace

TEST(FormSave, TheButtonAndCtrlSAskForPngWithoutAnOverwritePrompt) {
  WindowFixture w;
  w.form->Button2->click();  // cancelled
  EXPECT_EQ(w.dialogs->saveDialogs, 1);
  for (QWidget* field :
       {static_cast<QWidget*>(w.form->Edit1), static_cast<QWidget*>(w.form->Memo1)}) {
    field->setFocus();
    PressKey(field, Qt::Key_S, "\x13", Qt::ControlModifier);
  }
  EXPECT_EQ(w.dialogs->saveDialogs, 3);
  EXPECT_EQ(w.dialogs->saveFilter, "PNG (*.png)");
  EXPECT_EQ(w.dialogs->saveSuffix, "png");
  EXPECT_FALSE(w.dialogs->saveConfirmsOverwrite);
  EXPECT_TRUE(w.dialogs->errors.isEmpty());
}

TEST(FormSave, SavesANewFileAndReplacesAnExistingOne) {
  TempFolder folder;
  WindowFixture w;
  w.form->Edit1->setText("Nimbrel");
  const std::string target = folder.File("caption.png");
  w.dialogs->saves.push_back(QString::fromStdString(target));
  w.form->Button2->click();
  ASSERT_TRUE(w.dialogs->errors.isEmpty()) << w.dialogs->errors.first().toStdString();
  const LibpngImage first = DecodePngFile(target);
  ASSERT_TRUE(first.ok);
  EXPECT_EQ(first.width, 310u);
  ASSERT_TRUE(TransparentIndex(first).has_value());
  EXPECT_EQ(first.backgroundIndex, TransparentIndex(first));

  WriteFileBytes(target, kOld);
  w.form->Edit2->setText("2026");
  w.dialogs->saves.push_back(QString::fromStdString(target));
  w.form->Button2->click();
  EXPECT_TRUE(w.dialogs->errors.isEmpty());
  const LibpngImage second = DecodePngFile(target);
  ASSERT_TRUE(second.ok);
  EXPECT_NE(second.rows, first.rows);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"caption.png"});
}

TEST(FormSave, AFailedSaveLeavesTheOldFileIntactAndTheWindowUsable) {
  TempFolder folder;
  WindowFixture w;
  const std::string target = folder.File("caption.png");
  WriteFileBytes(target, kOld);
  // Noise does not compress: the PNG outgrows the image's own pixel memory, so a limit between
  // the two lets the save get under way and then fails its writes.
  TBitmap& picture = w.form->Picture();
  unsigned seed = 12345;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x)
      picture.ScanLine(y)[x] = BYTE((seed = seed * 1103515245 + 12345) >> 24);
  w.dialogs->saves.push_back(QString::fromStdString(target));
  {
    const FileSizeLimit full(kPixelMemory + 256);
    w.form->Button2->click();
  }
  ASSERT_EQ(w.dialogs->errors.size(), 1);
  EXPECT_EQ(w.dialogs->errors[0], "ストリームの書き込みエラー.");
  EXPECT_EQ(ReadFileBytes(target), kOld);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"caption.png"});

  // Still usable: the next save goes through.
  w.dialogs->saves.push_back(QString::fromStdString(target));
  w.form->Button2->click();
  EXPECT_EQ(w.dialogs->errors.size(), 1);
  EXPECT_TRUE(DecodePngFile(target).ok);
}

TEST(FormSave, AnUncreatableFileIsShownInTheErrorBoxWithAFullStop) {
  TempFolder folder;
  WindowFixture w;
  const std::string target = folder.File("no-such-folder/caption.png");
  w.dialogs->saves.push_back(QString::fromStdString(target));
  w.form->Button2->click();
  ASSERT_EQ(w.dialogs->errors.size(), 1);
  EXPECT_EQ(w.dialogs->errors[0],
            QString::fromStdString("ファイル " + target + " を作成できません."));
  EXPECT_TRUE(folder.Names().empty());
  // The picture and the inputs are as they were.
  Type(w.form->Edit1, "x", Qt::Key_X);
  EXPECT_EQ(w.form->Edit1->text(), "x");
}
