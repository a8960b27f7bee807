#include "app/temporary_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>

#include "app/os_error.h"

namespace {

// Enough attempts that only a folder we cannot write to makes them all fail.
constexpr int kNameAttempts = 64;

std::string HiddenName(const std::string& folder, const std::string& base) {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 generator{std::random_device{}()};
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, "%x.%x.%08x", static_cast<unsigned>(::getpid()),
                counter.fetch_add(1), static_cast<unsigned>(generator()));
  return folder + "/." + base + "." + suffix + ".tmp";
}

// The errors of a kernel or file system that has no unnamed files.
bool LacksUnnamedFiles(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// Gives the unnamed file behind fd the name name. Through /proc where it is mounted; without it,
// AT_EMPTY_PATH, which some kernels allow only to privileged processes.
bool LinkUnnamed(int fd, const std::string& name) {
  char path[40];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  if (::linkat(AT_FDCWD, path, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  if (errno != ENOENT) return false;
  return ::linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0;
}

}  // namespace

TemporaryFile::TemporaryFile(const std::string& folder, const std::string& base)
    : folder_(folder), base_(base) {
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
  if (fd_ >= 0 || !LacksUnnamedFiles(errno)) return;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    name_ = HiddenName(folder_, base_);
    fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd_ >= 0) return;
    if (errno != EEXIST) break;
  }
  name_.clear();
}

TemporaryFile::~TemporaryFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!name_.empty()) ::unlink(name_.c_str());
}

// An unnamed file gets a hidden name first: linkat cannot replace an existing target, rename can.
bool TemporaryFile::LinkIn() {
  for (int attempt = 0; attempt < kNameAttempts && name_.empty(); ++attempt) {
    const std::string name = HiddenName(folder_, base_);
    if (LinkUnnamed(fd_, name)) {
      name_ = name;
    } else if (errno != EEXIST) {
      return false;
    }
  }
  return !name_.empty();
}

void TemporaryFile::Replace(const std::string& target, const std::string& fileName) {
  if (!LinkIn()) FileCreateError(fileName, errno);
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) WriteError(errno);  // a network file system reports lost writes here
  if (::rename(name_.c_str(), target.c_str()) != 0) FileCreateError(fileName, errno);
  name_.clear();
}
