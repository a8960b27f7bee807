#include "app/save_command.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "app/cli_string_window.h"
#include "app/composer.h"
#include "app/file_save.h"
#include "app/os_error.h"
#include "app/temp_folder.h"
#include "app/test_user.h"
#include "platform/exception.h"
#include "platform/stream.h"
#include "png/ux_png.h"
#include "tests/libpng_decode.h"

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

}  // namespace

TEST(SaveCommand, CancelledDialogWritesNothing) {
  TempFolder folder;
  const WorkingFolder inside(folder.Path());  // where a file without a folder would land
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

TEST(SaveCommand, AFailedEncodeTouchesNoFile) {
  TempFolder folder;
  const std::string target = folder.File("caption.png");
  WriteFileBytes(target, kOldContent);
  FailingPng failing;
  EXPECT_THROW(SaveGraphic(failing, target), EQorPNG);
  EXPECT_EQ(ReadFileBytes(target), kOldContent);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"caption.png"});
}

namespace {

// What is at the target's place before the save.
enum class Before {
  kNothing,
  kFile,
  kReadOnlyFile,
  kFileInLockedFolder,
  kHardLink,
  kFifo,
  kFolder
};

struct SaveCase {
  const char* name;
  Before before;
  FileRoom room;
  const char* error;  // what the save reports ("%s": the target's name), or ""
  bool written;       // the target holds the new bytes afterwards
  bool sameInode;     // the target is still the file it was
};

void PrintTo(const SaveCase& c, std::ostream* out) {
  *out << c.name;
}

// Larger than kRoomWhenFull, smaller than a pipe's buffer so a FIFO takes it without a reader
// draining it.
const std::string kNewContent = [] {
  std::string bytes(20000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + i / 251);
  return bytes;
}();

ino_t InodeOf(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

bool HasUnnamedFiles(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
  if (fd >= 0) ::close(fd);
  return fd >= 0;
}

// Lays out dir as the case says; returns a reader of the FIFO, if there is one. dir belongs to
// the test user; the target too, unless it is the other user's hard link.
int Prepare(Before before, const std::string& dir, const std::string& target) {
  GiveToTestUser(dir);
  switch (before) {
    case Before::kNothing:
      return -1;
    case Before::kFifo:
      ::mkfifo(target.c_str(), 0600);
      GiveToTestUser(target);
      return ::open(target.c_str(), O_RDONLY | O_NONBLOCK);
    case Before::kFolder:
      std::filesystem::create_directories(target + "/inside");
      return -1;
    default:
      break;
  }
  WriteFileBytes(target, kOldContent);
  GiveToTestUser(target);
  if (before == Before::kReadOnlyFile) ::chmod(target.c_str(), 0444);
  if (before == Before::kFileInLockedFolder) ::chmod(dir.c_str(), 0555);
  if (before == Before::kHardLink) std::filesystem::create_hard_link(target, dir + "/link.png");
  return -1;
}

std::string Drain(int fd) {
  std::string bytes;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
  ::close(fd);
  return bytes;
}

class FileSave : public testing::TestWithParam<SaveCase> {};

}  // namespace

// Each case saves as an unprivileged user in a child process, then checks the target's bytes,
// its identity, and that nothing but what was there before is left in its folder.
TEST_P(FileSave, KeepsTheTargetsIdentityAndLeavesNoTemporary) {
  const SaveCase& c = GetParam();
  TempFolder folder;
  ::chmod(folder.Path().c_str(), 0755);
  const std::string dir = folder.File("d");
  std::filesystem::create_directory(dir);
  const std::string target = dir + "/caption.png";
  if (c.room == FileRoom::kKilledWhenFull && !HasUnnamedFiles(dir))
    GTEST_SKIP() << "the temporary folder's file system has no unnamed files (O_TMPFILE)";
  const int fifo = Prepare(c.before, dir, target);
  const std::vector<std::string> namesBefore = TempFolder::NamesIn(dir);
  const ino_t inodeBefore = InodeOf(target);

  const ChildRun run = RunAsTestUser(
      [&] {
        try {
          SaveFileBytes(target, kNewContent);
          return std::string();
        } catch (const std::exception& e) {
          return ErrorText(e);
        }
      },
      c.room);
  ::chmod(dir.c_str(), 0755);
  if (!run.started) GTEST_SKIP() << "cannot become the unprivileged user " << kNobody;

  EXPECT_EQ(run.killed, c.room == FileRoom::kKilledWhenFull);
  std::string expectedError = c.error;
  if (const auto name = expectedError.find("%s"); name != std::string::npos)
    expectedError.replace(name, 2, target);
  EXPECT_EQ(run.output, expectedError);
  if (c.before == Before::kFifo) {
    EXPECT_EQ(Drain(fifo), kNewContent);
    EXPECT_TRUE(std::filesystem::is_fifo(target));
  } else if (c.before != Before::kFolder) {
    const std::string old = c.before == Before::kNothing ? "" : kOldContent;
    EXPECT_EQ(ReadFileBytes(target), c.written ? kNewContent : old);
  }
  if (c.before == Before::kHardLink) {
    EXPECT_EQ(ReadFileBytes(dir + "/link.png"), ReadFileBytes(target));
  }
  if (c.sameInode) {
    EXPECT_EQ(InodeOf(target), inodeBefore);
  }
  std::vector<std::string> names = TempFolder::NamesIn(dir), expectedNames = namesBefore;
  if (c.before == Before::kNothing && c.written) expectedNames.push_back("caption.png");
  std::sort(names.begin(), names.end());
  std::sort(expectedNames.begin(), expectedNames.end());
  EXPECT_EQ(names, expectedNames);
}

constexpr const char kDenied[] = "ファイル %s を作成できません: Permission denied";
constexpr const char kFull[] = "ストリームの書き込みエラー: File too large";

INSTANTIATE_TEST_SUITE_P(
    Cases, FileSave,
    testing::Values(
        SaveCase{"NewFile", Before::kNothing, FileRoom::kAny, "", true, false},
        SaveCase{"ExistingFile", Before::kFile, FileRoom::kAny, "", true, false},
        SaveCase{"ReadOnlyFile", Before::kReadOnlyFile, FileRoom::kAny, kDenied, false, true},
        SaveCase{"WritableFileInLockedFolder", Before::kFileInLockedFolder, FileRoom::kAny, "",
                 true, true},
        SaveCase{"HardLinkedFile", Before::kHardLink, FileRoom::kAny, "", true, true},
        SaveCase{"Fifo", Before::kFifo, FileRoom::kAny, "", true, true},
        SaveCase{"FolderInTheWay", Before::kFolder, FileRoom::kAny,
                 "ファイル %s を作成できません: Is a directory", false, true},
        SaveCase{"NewFileOnAFullDisk", Before::kNothing, FileRoom::kFull, kFull, false, false},
        SaveCase{"ExistingFileOnAFullDisk", Before::kFile, FileRoom::kFull, kFull, false, true},
        SaveCase{"HardLinkOnAFullDisk", Before::kHardLink, FileRoom::kFull, kFull, false, true},
        SaveCase{"NewFileKilledPartWay", Before::kNothing, FileRoom::kKilledWhenFull, "", false,
                 false},
        SaveCase{"ExistingFileKilledPartWay", Before::kFile, FileRoom::kKilledWhenFull, "", false,
                 true}),
    [](const auto& info) { return std::string(info.param.name); });
