#include "app/save_command.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/cli_string_window.h"
#include "app/composer.h"
#include "app/libpng_decode.h"
#include "app/replacing_file.h"
#include "app/temp_folder.h"
#include "platform/exception.h"
#include "png/ux_png.h"

namespace {

// A window whose picture was composed from a title, as after typing one.
struct ComposedWindow {
  TStringCaptionWindow window;
  TCaptionComposer composer{window};
  explicit ComposedWindow(const char* title = "Nimbrel") {
    window.Title = AnsiString(title);
    composer.FormCreate();
  }
};

// Writes part of a PNG and then fails, as an encoder running out of memory would.
class FailingPng : public TUxPNG {
 public:
  void SaveToStream(TStream& stream) override {
    stream.WriteBuffer("\x89PNG\r\n\x1a\n", 8);
    throw EQorPNG(AnsiString("PNG SaveStream: test failure"));
  }
};

const std::string kOldContent = "the user's old picture";

// Makes folder the working directory while it lives.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~WorkingDirectory() { std::filesystem::current_path(previous_); }
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace

TEST(SaveCommand, CancelledDialogWritesNothing) {
  TempFolder folder;
  const WorkingDirectory inFolder(folder.Path());  // where a file without a folder would land
  ComposedWindow composed;
  composed.window.SaveFileName.reset();
  Button2Click(composed.window);
  EXPECT_TRUE(folder.Names().empty());
}

TEST(SaveCommand, WritesThePictureWithTheGreyAsBackgroundAndOnlyTransparentEntry) {
  TempFolder folder;
  ComposedWindow composed;
  composed.window.SaveFileName = folder.File("caption.png");
  Button2Click(composed.window);

  const LibpngImage png = DecodePngFile(folder.File("caption.png"));
  ASSERT_TRUE(png.ok) << png.error;
  EXPECT_EQ(png.width, 310u);
  EXPECT_EQ(png.height, 180u);
  EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_PALETTE);
  EXPECT_EQ(png.bitDepth, 8);
  const auto transparent = TransparentIndex(png);
  ASSERT_TRUE(transparent.has_value());
  EXPECT_EQ(png.backgroundIndex, transparent);

  // Every pixel is the picture's own palette index; the corner is the clearing fill.
  TBitmap& picture = composed.window.Picture();
  for (int y = 0; y < 180; ++y)
    for (int x = 0; x < 310; ++x) ASSERT_EQ(png.At(x, y), picture.ScanLine(y)[x]) << x << "," << y;
  EXPECT_EQ(png.At(0, 179), *transparent);
}

TEST(SaveCommand, ReplacesAnExistingFileCompletelyAndLeavesNothingElse) {
  TempFolder folder;
  const std::string target = folder.File("caption.png");
  WriteFileBytes(target, std::string(100000, 'x'));  // longer than the new picture
  ComposedWindow composed;
  composed.window.SaveFileName = target;
  Button2Click(composed.window);
  const std::string first = ReadFileBytes(target);
  EXPECT_TRUE(DecodePngFile(target).ok);
  EXPECT_LT(first.size(), 100000u);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"caption.png"});

  Button2Click(composed.window);  // an unchanged picture saves the same bytes
  EXPECT_EQ(ReadFileBytes(target), first);
}

TEST(SaveCommand, KeepsThePermissionsOfTheFileItReplaces) {
  TempFolder folder;
  const std::string target = folder.File("caption.png");
  WriteFileBytes(target, kOldContent);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ComposedWindow composed;
  composed.window.SaveFileName = target;
  Button2Click(composed.window);
  struct stat info {};
  ASSERT_EQ(::stat(target.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST(SaveCommand, SavingThroughASymbolicLinkReplacesItsTarget) {
  TempFolder folder;
  const std::string real = folder.File("real.png");
  const std::string link = folder.File("link.png");
  WriteFileBytes(real, kOldContent);
  std::filesystem::create_symlink(real, link);
  ComposedWindow composed;
  composed.window.SaveFileName = link;
  Button2Click(composed.window);
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(DecodePngFile(real).ok);
}

TEST(SaveCommand, AFolderThatCannotBeWrittenRaisesTheCreateErrorNamingTheFile) {
  TempFolder folder;
  const std::string target = folder.File("missing/caption.png");
  ComposedWindow composed;
  composed.window.SaveFileName = target;
  try {
    Button2Click(composed.window);
    FAIL() << "the save succeeded";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), AnsiString::FromUtf8("ファイル " + target + " を作成できません"));
  }
  EXPECT_TRUE(folder.Names().empty());
}

TEST(ReplacingFile, AFailedEncodeLeavesTheOldFileIntactAndNoTemporary) {
  TempFolder folder;
  const std::string target = folder.File("caption.png");
  WriteFileBytes(target, kOldContent);
  FailingPng failing;
  EXPECT_THROW(SaveGraphicReplacing(failing, target), EQorPNG);
  EXPECT_EQ(ReadFileBytes(target), kOldContent);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"caption.png"});
}

TEST(ReplacingFile, AFolderInTheWayFailsWithTheCreateErrorAndLeavesNoTemporary) {
  TempFolder folder;
  const std::string target = folder.File("taken");
  std::filesystem::create_directory(target);
  std::filesystem::create_directory(folder.File("taken/inside"));  // a non-empty folder
  TUxPNG image;
  EXPECT_THROW(SaveGraphicReplacing(image, target), EFCreateError);
  EXPECT_TRUE(std::filesystem::is_directory(target));
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"taken"});
}

TEST(ReplacingFile, WithoutCommitTheTargetStaysAsItWas) {
  TempFolder folder;
  const std::string target = folder.File("caption.png");
  WriteFileBytes(target, kOldContent);
  {
    TReplacingFileStream stream(target);
    stream.WriteBuffer("new", 3);
    EXPECT_EQ(stream.GetSize(), 3);
    EXPECT_EQ(folder.Names().size(), 2u);  // the temporary sits beside the target
  }
  EXPECT_EQ(ReadFileBytes(target), kOldContent);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"caption.png"});
}
