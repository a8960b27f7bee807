#include "app/temporary_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>
#include <string_view>

#include "app/os_error.h"

namespace {

// Enough attempts that only a folder we cannot write to makes them all fail.
constexpr int kNameAttempts = 64;
// A hidden temporary this much older than now belongs to no save still running.
constexpr std::time_t kLeftoverAge = 60;
// Keeps ".base.suffix.tmp" within a file name's 255 bytes however long the target's name is.
constexpr std::size_t kHiddenBaseLength = 200;
constexpr std::string_view kTemporarySuffix = ".tmp";

std::string HiddenName(const std::string& base) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 generator{std::random_device{}()};
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, ".%x.%x.%08x", static_cast<unsigned>(::getpid()),
                counter.fetch_add(1), static_cast<unsigned>(generator()));
  std::string name = ".";
  name.append(base, 0, kHiddenBaseLength).append(suffix).append(kTemporarySuffix);
  return name;
}

bool IsHex(std::string_view digits, std::size_t minimum, std::size_t maximum) {
  if (digits.size() < minimum || digits.size() > maximum) return false;
  for (const char c : digits)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// Whether name has the shape HiddenName gives: ".base.PID.COUNT.RANDOM.tmp".
bool IsHiddenName(std::string_view name) {
  if (name.size() < 2 || name.front() != '.' || !name.ends_with(kTemporarySuffix)) return false;
  name.remove_suffix(kTemporarySuffix.size());
  const std::size_t limits[3][2] = {{8, 8}, {1, 8}, {1, 8}};  // RANDOM, COUNT, PID from the end
  for (const auto& limit : limits) {
    const std::size_t dot = name.rfind('.');
    if (dot == 0 || dot == std::string_view::npos) return false;
    if (!IsHex(name.substr(dot + 1), limit[0], limit[1])) return false;
    name = name.substr(0, dot);
  }
  return name.size() > 1;  // "." and a base of at least one byte
}

// The errors of a kernel or file system that has no unnamed files.
bool LacksUnnamedFiles(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// Gives the unnamed file behind fd the name name in folder. Through /proc where it is mounted;
// without it, AT_EMPTY_PATH, which some kernels allow only to privileged processes.
bool LinkUnnamed(int fd, int folder, const std::string& name) {
  char path[40];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  if (::linkat(AT_FDCWD, path, folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno != ENOENT) return false;
  return ::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0;
}

}  // namespace

TemporaryFile::TemporaryFile(int folder, const std::string& base, TemporaryKind kind)
    : folder_(folder), base_(base) {
  if (kind == TemporaryKind::kUnnamedWhereSupported) {
    file_ = FileDescriptor(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (Fd() >= 0 || !LacksUnnamedFiles(errno)) return;
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name_ = HiddenName(base_);
    file_ = FileDescriptor(
        ::openat(folder_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (Fd() >= 0) return;
    if (errno != EEXIST) break;
  }
  name_.clear();
}

TemporaryFile::~TemporaryFile() {
  if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
}

// An unnamed file gets a hidden name first: linkat cannot replace an existing target, rename can.
bool TemporaryFile::LinkIn() {
  for (int attempt = 0; attempt < kNameAttempts && name_.empty(); ++attempt) {
    const std::string name = HiddenName(base_);
    if (LinkUnnamed(Fd(), folder_, name)) {
      name_ = name;
    } else if (errno != EEXIST) {
      return false;
    }
  }
  return !name_.empty();
}

void TemporaryFile::Place(const std::string& target, const std::string& fileName) {
  if (name_.empty()) {
    if (LinkUnnamed(Fd(), folder_, target)) {
      try {
        file_.Close();  // a network file system reports lost writes here
      } catch (const std::exception&) {
        ::unlinkat(folder_, target.c_str(), 0);  // nothing was there before
        throw;
      }
      return;
    }
    if (errno != EEXIST || !LinkIn()) FileCreateError(fileName, errno);
  }
  file_.Close();
  if (::renameat(folder_, name_.c_str(), folder_, target.c_str()) != 0)
    FileCreateError(fileName, errno);
  name_.clear();
}

void RemoveLeftoverTemporaries(int folder) {
  const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (listing < 0) return;
  DIR* entries = ::fdopendir(listing);
  if (entries == nullptr) {
    ::close(listing);
    return;
  }
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = ::readdir(entries)) {
    if (!IsHiddenName(entry->d_name)) continue;
    struct stat info {};
    if (::fstatat(listing, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(info.st_mode) && info.st_uid == ::geteuid() && info.st_nlink == 1 &&
        info.st_mtime < now - kLeftoverAge)
      ::unlinkat(listing, entry->d_name, 0);
  }
  ::closedir(entries);
}
