#include "app/save_command.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <tuple>

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
  composed.composer.Button2Click();
  EXPECT_TRUE(folder.Names().empty());
}

TEST(SaveCommand, WritesThePictureWithTheGreyAsBackgroundAndOnlyTransparentEntry) {
  TempFolder folder;
  ComposedWindow composed;
  composed.window.SaveFileName = folder.File("caption.png");
  composed.composer.Button2Click();

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
  composed.composer.Button2Click();
  const std::string first = ReadFileBytes(target);
  EXPECT_TRUE(DecodePngFile(target).ok);
  EXPECT_LT(first.size(), 100000u);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"caption.png"});

  composed.composer.Button2Click();  // an unchanged picture saves the same bytes
  EXPECT_EQ(ReadFileBytes(target), first);
}

TEST(SaveCommand, KeepsThePermissionsOfTheFileItReplaces) {
  TempFolder folder;
  const std::string target = folder.File("caption.png");
  WriteFileBytes(target, kOldContent);
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ComposedWindow composed;
  composed.window.SaveFileName = target;
  composed.composer.Button2Click();
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
  composed.composer.Button2Click();
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_TRUE(DecodePngFile(real).ok);
}

TEST(SaveCommand, AFolderThatCannotBeWrittenRaisesTheCreateErrorNamingTheFile) {
  TempFolder folder;
  const std::string target = folder.File("missing/caption.png");
  ComposedWindow composed;
  composed.window.SaveFileName = target;
  try {
    composed.composer.Button2Click();
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
  mode_t mode = 0;    // the target's permissions before, and after; 0 leaves them to the umask
};

void PrintTo(const SaveCase& c, std::ostream* out) {
  *out << c.name;
}

// Set-user-ID and set-group-ID with the owner's and group's execute bits: a write by an
// unprivileged user clears both unless the save sets them again after its last write.
constexpr mode_t kSetIdMode = 06754;

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
int Prepare(Before before, const std::string& dir, const std::string& target, mode_t mode) {
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
  if (mode != 0) ::chmod(target.c_str(), mode);
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

// Saves bytes to target as the test user; returns the error text, or "" when the save succeeded.
ChildRun SaveAsTestUser(const std::string& target, const std::string& bytes, FileRoom room,
                        TemporaryKind temporary) {
  return RunAsTestUser(
      [&] {
        try {
          SaveFileBytes(target, bytes, {.temporary = temporary});
          return std::string();
        } catch (const std::exception& e) {
          return ErrorText(e);
        }
      },
      room);
}

// The hidden names a save leaves behind only when it is killed with a named temporary.
std::vector<std::string> NewNames(const std::string& dir, const std::vector<std::string>& before) {
  std::vector<std::string> names;
  for (const std::string& name : TempFolder::NamesIn(dir))
    if (std::find(before.begin(), before.end(), name) == before.end()) names.push_back(name);
  return names;
}

void MakeOld(const std::string& path) {
  const timespec twoMinutesAgo[2] = {{::time(nullptr) - 120, 0}, {::time(nullptr) - 120, 0}};
  ::utimensat(AT_FDCWD, path.c_str(), twoMinutesAgo, AT_SYMLINK_NOFOLLOW);
}

// Every case runs with the unnamed temporary the file system offers and with the named one
// other file systems get.
class FileSave : public testing::TestWithParam<std::tuple<SaveCase, TemporaryKind>> {};

}  // namespace

// Each case saves as an unprivileged user in a child process, then checks the target's bytes,
// its identity and permissions, and that nothing but what was there before is left in its
// folder. A named temporary that a kill left is cleared by the next save once it is old.
TEST_P(FileSave, KeepsTheTargetsIdentityAndLeavesNoTemporary) {
  const auto& [c, temporary] = GetParam();
  TempFolder folder;
  ::chmod(folder.Path().c_str(), 0755);
  const std::string dir = folder.File("d");
  std::filesystem::create_directory(dir);
  const std::string target = dir + "/caption.png";
  const bool named = temporary == TemporaryKind::kNamed || !HasUnnamedFiles(dir);
  if (!named && temporary == TemporaryKind::kNamed) GTEST_SKIP() << "the same as the other run";
  const int fifo = Prepare(c.before, dir, target, c.mode);
  const std::vector<std::string> namesBefore = TempFolder::NamesIn(dir);
  const ino_t inodeBefore = InodeOf(target);

  const ChildRun run = SaveAsTestUser(target, kNewContent, c.room, temporary);
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
  if (c.mode != 0) {
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, c.mode);
  }
  std::vector<std::string> expectedNames = namesBefore;
  if (c.before == Before::kNothing && c.written) expectedNames.push_back("caption.png");
  std::vector<std::string> left = NewNames(dir, expectedNames);
  if (!run.killed || !named) {
    EXPECT_EQ(left, std::vector<std::string>{});
    return;
  }
  ASSERT_EQ(left.size(), 1u) << "a kill leaves the named temporary it was writing";
  const std::string leftover = dir + "/" + left.front();
  EXPECT_EQ(SaveAsTestUser(target, kNewContent, FileRoom::kAny, temporary).output, "");
  EXPECT_TRUE(std::filesystem::exists(leftover)) << "a young one may belong to a running save";
  MakeOld(leftover);
  EXPECT_EQ(SaveAsTestUser(target, kNewContent, FileRoom::kAny, temporary).output, "");
  EXPECT_FALSE(std::filesystem::exists(leftover));
}

constexpr const char kDenied[] = "ファイル %s を作成できません: Permission denied";
constexpr const char kFull[] = "ストリームの書き込みエラー: File too large";

INSTANTIATE_TEST_SUITE_P(
    Cases, FileSave,
    testing::Combine(
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
            SaveCase{"ExistingFileKilledPartWay", Before::kFile, FileRoom::kKilledWhenFull, "",
                     false, true},
            SaveCase{"SetIdFile", Before::kFile, FileRoom::kAny, "", true, false, kSetIdMode},
            SaveCase{"SetIdHardLinkedFile", Before::kHardLink, FileRoom::kAny, "", true, true,
                     kSetIdMode}),
        testing::Values(TemporaryKind::kUnnamedWhereSupported, TemporaryKind::kNamed)),
    [](const auto& info) {
      const bool named = std::get<1>(info.param) == TemporaryKind::kNamed;
      return std::string(std::get<0>(info.param).name) + (named ? "Named" : "");
    });

// Only what a killed save of ours leaves is removed: the user's own hidden files of our pattern
// that nothing touched for a minute, never another user's, a young one or another name.
TEST(FileSave, ClearsOnlyOldLeftoversOfItsOwn) {
  TempFolder folder;
  ::chmod(folder.Path().c_str(), 0777);
  const std::string old = ".caption.png.1a2b.0.deadbeef.tmp";
  std::vector<std::string> kept = {".caption.png.1a2b.1.deadbeef.tmp",  // young
                                   ".caption.png.tmp",                  // not our shape
                                   "caption.png.1a2b.3.deadbeef.tmp",   // not hidden
                                   ".caption.png.1a2b.4.deadbee.tmp"};  // a random part too short
  for (const std::string& name : {old, kept[0], kept[1], kept[2], kept[3]}) {
    WriteFileBytes(folder.File(name), "left");
    GiveToTestUser(folder.File(name));
    if (name != kept[0]) MakeOld(folder.File(name));
  }
  if (::geteuid() == 0) {  // the test user is another user than root
    kept.push_back(".other.png.1a2b.2.0badf00d.tmp");
    WriteFileBytes(folder.File(kept.back()), "left");
    MakeOld(folder.File(kept.back()));
  }
  const ChildRun run = SaveAsTestUser(folder.File("new.png"), kNewContent, FileRoom::kAny,
                                      TemporaryKind::kUnnamedWhereSupported);
  if (!run.started) GTEST_SKIP() << "cannot become the unprivileged user " << kNobody;
  EXPECT_EQ(run.output, "");
  std::vector<std::string> names = folder.Names(), expected = kept;
  expected.push_back("new.png");
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}
