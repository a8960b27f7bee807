#include "app/file_save.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "app/file_descriptor.h"
#include "app/os_error.h"
#include "app/temporary_file.h"

namespace {

enum class SaveWay { kReplace, kInPlace, kDirect };

// What a save writes to and how.
struct Target {
  std::string path;  // the file written: the name given, or the file a symbolic link points to
  SaveWay way = SaveWay::kReplace;
  bool exists = false;
  struct stat info {};
};

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

bool MayWrite(const std::string& path, int mode = W_OK) {
  return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

// A rename puts a new file in the old one's place: it keeps the folder entry but not the inode,
// so it is only right when nothing else belongs to that inode.
bool RenameKeepsIdentity(const Target& target) {
  return target.info.st_nlink == 1 && target.info.st_uid == ::geteuid() &&
         MayWrite(FolderOf(target.path), W_OK | X_OK) &&
         ::getxattr(target.path.c_str(), "system.posix_acl_access", nullptr, 0) <= 0;
}

Target Examine(const std::string& fileName) {
  Target target{fileName};
  struct stat link {};
  const bool isLink = ::lstat(fileName.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
  if (isLink) {
    char resolved[PATH_MAX];
    if (::realpath(fileName.c_str(), resolved) != nullptr) target.path = resolved;
  }
  if (::stat(target.path.c_str(), &target.info) != 0) {
    if (errno != ENOENT) FileCreateError(fileName, errno);
    // A link to nothing yet: creating through it makes the file it names.
    target.way = isLink ? SaveWay::kInPlace : SaveWay::kReplace;
    return target;
  }
  target.exists = true;
  if (S_ISDIR(target.info.st_mode)) FileCreateError(fileName, EISDIR);
  if (!S_ISREG(target.info.st_mode)) {
    target.way = SaveWay::kDirect;
    return target;
  }
  // A direct create fails on a file the user may not write; replacing it must not succeed.
  if (!MayWrite(target.path)) FileCreateError(fileName, errno);
  target.way = RenameKeepsIdentity(target) ? SaveWay::kReplace : SaveWay::kInPlace;
  return target;
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) WriteError(n < 0 ? errno : EIO);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void Flush(int fd, FileSync sync) {
  if (sync == FileSync::kEach && ::fsync(fd) != 0) WriteError(errno);
}

void SyncFolder(const std::string& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() >= 0) ::fsync(fd.Get());  // best effort: the rename is already visible
}

// Reserves size bytes for fd, so the writes that follow cannot run out of space half-way. A
// file system that cannot reserve is written without; one that is full fails here, with the
// file's old content as it was.
void Reserve(int fd, std::size_t size) {
  if (size == 0) return;
  struct stat before {};
  if (::fstat(fd, &before) != 0) WriteError(errno);
  int error;
  do error = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
  while (error == EINTR);
  if (error == 0 || error == EOPNOTSUPP || error == EINVAL || error == EBADF) return;
  struct stat after {};
  if (::fstat(fd, &after) == 0 && after.st_size > before.st_size)
    (void)::ftruncate(fd, before.st_size);
  WriteError(error);
}

// Read access too where the user has it: the reservation's fallback for file systems without
// fallocate reads each block before it writes to it.
int OpenInPlace(const std::string& path, int create) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | create, 0666);
  if (fd >= 0 || errno != EACCES) return fd;
  return ::open(path.c_str(), O_WRONLY | O_CLOEXEC | create, 0666);
}

void WriteInPlace(const std::string& fileName, const Target& target, std::string_view bytes,
                  FileSync sync) {
  FileDescriptor fd(OpenInPlace(target.path, target.exists ? 0 : O_CREAT));
  if (fd.Get() < 0) FileCreateError(fileName, errno);
  Reserve(fd.Get(), bytes.size());
  WriteAll(fd.Get(), bytes);
  if (::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) != 0) WriteError(errno);
  Flush(fd.Get(), sync);
  fd.Close();
}

void WriteDirect(const std::string& fileName, const Target& target, std::string_view bytes) {
  FileDescriptor fd(::open(target.path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY));
  if (fd.Get() < 0) FileCreateError(fileName, errno);
  WriteAll(fd.Get(), bytes);
  fd.Close();
}

// The new content in a file of its own, which takes the target's place only once complete. The
// replacement gets the old file's permissions and group; where it cannot have them, the old
// file is written in place instead.
void ReplaceByRename(const std::string& fileName, const Target& target, std::string_view bytes,
                     FileSync sync) {
  const std::string folder = FolderOf(target.path);
  TemporaryFile temporary(folder, BaseOf(target.path));
  const int fd = temporary.Fd();
  if (fd < 0) {
    if (target.exists) return WriteInPlace(fileName, target, bytes, sync);
    FileCreateError(fileName, errno);
  }
  if (target.exists && (::fchown(fd, uid_t(-1), target.info.st_gid) != 0 ||
                        ::fchmod(fd, target.info.st_mode & 07777) != 0))
    return WriteInPlace(fileName, target, bytes, sync);
  WriteAll(fd, bytes);
  Flush(fd, sync);
  temporary.Replace(target.path, fileName);
  if (sync == FileSync::kEach) SyncFolder(folder);
}

}  // namespace

void SaveFileBytes(const std::string& fileName, std::string_view bytes, FileSync sync) {
  const Target target = Examine(fileName);
  switch (target.way) {
    case SaveWay::kReplace:
      return ReplaceByRename(fileName, target, bytes, sync);
    case SaveWay::kInPlace:
      return WriteInPlace(fileName, target, bytes, sync);
    case SaveWay::kDirect:
      return WriteDirect(fileName, target, bytes);
  }
}

bool SyncFileSystem(const std::string& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.Get() >= 0 && ::syncfs(fd.Get()) == 0;
}
