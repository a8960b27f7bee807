#include "app/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>

#include "platform/exception.h"
#include "platform/graphic.h"

namespace {

// Enough attempts that only a folder we cannot write to makes them all fail.
constexpr int kTemporaryNameAttempts = 64;

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Saving through a symbolic link replaces the file it points to, not the link.
std::string ResolveTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

std::string RandomSuffix() {
  static std::atomic<unsigned> counter{0};
  thread_local std::mt19937 generator{std::random_device{}()};
  char text[40];
  std::snprintf(text, sizeof text, "%x.%x.%08x", static_cast<unsigned>(::getpid()),
                counter.fetch_add(1), static_cast<unsigned>(generator()));
  return text;
}

// A new file beside target, readable as the target was (or as the umask allows a new file).
int CreateTemporary(const std::string& target, std::string& tempName) {
  const std::string prefix = FolderOf(target) + "/." + BaseOf(target) + ".";
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    tempName = prefix + RandomSuffix() + ".tmp";
    const int fd = ::open(tempName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      struct stat info {};
      if (::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode))
        ::fchmod(fd, info.st_mode & 07777);
      return fd;
    }
    if (errno != EEXIST) break;
  }
  tempName.clear();
  return -1;
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename is already visible, this only makes it durable sooner
  ::close(fd);
}

}  // namespace

TReplacingFileStream::TReplacingFileStream(const std::string& fileName, FileSync sync)
    : fileName_(fileName), target_(ResolveTarget(fileName)), sync_(sync) {
  fd_ = CreateTemporary(target_, tempName_);
  if (fd_ < 0) FileCreateError(fileName_);
}

TReplacingFileStream::~TReplacingFileStream() {
  Discard();
}

std::size_t TReplacingFileStream::Read(void* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::size_t TReplacingFileStream::Write(const void* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

std::int64_t TReplacingFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const off_t position = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (position < 0) ReadError();
  return position;
}

void TReplacingFileStream::Commit() {
  if (fd_ < 0) WriteError();
  if (sync_ == FileSync::kEach && ::fsync(fd_) != 0) {
    Discard();
    WriteError();
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    Discard();
    WriteError();
  }
  if (::rename(tempName_.c_str(), target_.c_str()) != 0) {
    Discard();
    FileCreateError(fileName_);
  }
  tempName_.clear();
  if (sync_ == FileSync::kEach) SyncFolder(FolderOf(target_));
}

void TReplacingFileStream::Discard() noexcept {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!tempName_.empty()) ::unlink(tempName_.c_str());
  tempName_.clear();
}

void SaveGraphicReplacing(TGraphic& graphic, const std::string& fileName, FileSync sync) {
  TReplacingFileStream stream(fileName, sync);
  graphic.SaveToStream(stream);
  stream.Commit();
}

bool SyncFileSystem(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::syncfs(fd) == 0;
  ::close(fd);
  return synced;
}
