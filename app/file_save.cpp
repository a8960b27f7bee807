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

namespace {

enum class SaveWay { kReplace, kInPlace, kDirect };

// What a save writes to and how: the entry name in folder, which is path.
struct Target {
  std::string path;  // the name given, or the file a symbolic link points to
  FileDescriptor folder;
  std::string name;
  SaveWay way = SaveWay::kReplace;
  bool exists = false;
  struct stat info {};
};

const char kLinkRefused[] = "is a symbolic link, which is not followed here";
const char kSharedRefused[] = "shares its content with other hard links, which are not written";

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

bool MayWrite(const Target& target, const char* name, int mode = W_OK) {
  return ::faccessat(target.folder.Get(), name, mode, AT_EACCESS) == 0;
}

// A rename puts a new file in the old one's place: it keeps the folder entry but not the inode,
// so it is only right when nothing else belongs to that inode.
bool RenameKeepsIdentity(const Target& target) {
  return target.info.st_nlink == 1 && target.info.st_uid == ::geteuid() &&
         MayWrite(target, ".", W_OK | X_OK) &&
         ::lgetxattr(target.path.c_str(), "system.posix_acl_access", nullptr, 0) <= 0;
}

// The file a symbolic link at fileName points to, or fileName itself.
std::string Resolve(const std::string& fileName) {
  struct stat link {};
  if (::lstat(fileName.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return fileName;
  char resolved[PATH_MAX];
  return ::realpath(fileName.c_str(), resolved) != nullptr ? resolved : fileName;
}

// An existing regular file: replaced where that keeps it the same file, written in place where
// not. Reached only within its folder, a file other names share is never written through.
SaveWay RegularFileWay(const std::string& fileName, const Target& target, FileReach reach) {
  // A direct create fails on a file the user may not write; replacing it must not succeed.
  if (!MayWrite(target, target.name.c_str())) FileCreateError(fileName, errno);
  if (RenameKeepsIdentity(target)) return SaveWay::kReplace;
  if (reach == FileReach::kFollowLinks || target.info.st_nlink == 1) return SaveWay::kInPlace;
  if (!MayWrite(target, ".", W_OK | X_OK)) FileCreateError(fileName, kSharedRefused);
  return SaveWay::kReplace;
}

Target Examine(const std::string& fileName, FileReach reach) {
  Target target;
  target.path = reach == FileReach::kFollowLinks ? Resolve(fileName) : fileName;
  target.name = BaseOf(target.path);
  target.folder =
      FileDescriptor(::open(FolderOf(target.path).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (target.folder.Get() < 0) FileCreateError(fileName, errno);
  if (target.name.empty()) FileCreateError(fileName, EISDIR);
  if (::fstatat(target.folder.Get(), target.name.c_str(), &target.info, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) FileCreateError(fileName, errno);
    return target;
  }
  if (S_ISLNK(target.info.st_mode)) {
    // A link Resolve could not follow points at nothing yet: creating through it makes the file
    // it names.
    if (reach == FileReach::kWithinFolder) FileCreateError(fileName, kLinkRefused);
    target.way = SaveWay::kInPlace;
    return target;
  }
  target.exists = true;
  if (S_ISDIR(target.info.st_mode)) FileCreateError(fileName, EISDIR);
  target.way =
      S_ISREG(target.info.st_mode) ? RegularFileWay(fileName, target, reach) : SaveWay::kDirect;
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

void SyncFolder(int folder) {
  FileDescriptor fd(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
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
  // Shrinking back is best effort: the reservation's error is the one to report either way.
  if (::fstat(fd, &after) == 0 && after.st_size > before.st_size &&
      ::ftruncate(fd, before.st_size) != 0) {
  }
  WriteError(error);
}

int OpenFlags(FileReach reach) {
  return O_CLOEXEC | (reach == FileReach::kWithinFolder ? O_NOFOLLOW : 0);
}

// Read access too where the user has it: the reservation's fallback for file systems without
// fallocate reads each block before it writes to it.
int OpenInPlace(const Target& target, int flags) {
  const int fd = ::openat(target.folder.Get(), target.name.c_str(), O_RDWR | flags, 0666);
  if (fd >= 0 || errno != EACCES) return fd;
  return ::openat(target.folder.Get(), target.name.c_str(), O_WRONLY | flags, 0666);
}

// Writing to a file, and cutting it, clears its set-user-ID and set-group-ID bits unless the
// writer is privileged; the owner may set them again.
void RestoreMode(int fd, const Target& target) {
  if (target.exists && (target.info.st_mode & (S_ISUID | S_ISGID)) != 0 &&
      target.info.st_uid == ::geteuid())
    (void)::fchmod(fd, target.info.st_mode & 07777);
}

void WriteInPlace(const std::string& fileName, const Target& target, std::string_view bytes,
                  const FileSaveOptions& options) {
  if (options.reach == FileReach::kWithinFolder && target.info.st_nlink > 1)
    FileCreateError(fileName, kSharedRefused);
  FileDescriptor fd(OpenInPlace(target, OpenFlags(options.reach) | (target.exists ? 0 : O_CREAT)));
  if (fd.Get() < 0) FileCreateError(fileName, errno);
  Reserve(fd.Get(), bytes.size());
  WriteAll(fd.Get(), bytes);
  if (::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) != 0) WriteError(errno);
  RestoreMode(fd.Get(), target);
  Flush(fd.Get(), options.sync);
  fd.Close();
}

void WriteDirect(const std::string& fileName, const Target& target, std::string_view bytes,
                 FileReach reach) {
  FileDescriptor fd(
      ::openat(target.folder.Get(), target.name.c_str(), O_WRONLY | O_NOCTTY | OpenFlags(reach)));
  if (fd.Get() < 0) FileCreateError(fileName, errno);
  WriteAll(fd.Get(), bytes);
  fd.Close();
}

// The new content in a file of its own, which takes the target's place only once complete. The
// replacement gets the old file's group and then, after its last write, the permissions; where
// it cannot have them, the old file is written in place instead.
void ReplaceByRename(const std::string& fileName, const Target& target, std::string_view bytes,
                     const FileSaveOptions& options) {
  TemporaryFile temporary(target.folder.Get(), target.name, options.temporary);
  const int fd = temporary.Fd();
  if (fd < 0) {
    if (target.exists) return WriteInPlace(fileName, target, bytes, options);
    FileCreateError(fileName, errno);
  }
  if (target.exists && ::fchown(fd, uid_t(-1), target.info.st_gid) != 0)
    return WriteInPlace(fileName, target, bytes, options);
  WriteAll(fd, bytes);
  if (target.exists && ::fchmod(fd, target.info.st_mode & 07777) != 0)
    return WriteInPlace(fileName, target, bytes, options);
  Flush(fd, options.sync);
  temporary.Place(target.name, fileName);
  if (options.sync == FileSync::kEach) SyncFolder(target.folder.Get());
}

}  // namespace

void SaveFileBytes(const std::string& fileName, std::string_view bytes,
                   const FileSaveOptions& options) {
  const Target target = Examine(fileName, options.reach);
  if (options.removeLeftovers) RemoveLeftoverTemporaries(target.folder.Get());
  switch (target.way) {
    case SaveWay::kReplace:
      return ReplaceByRename(fileName, target, bytes, options);
    case SaveWay::kInPlace:
      return WriteInPlace(fileName, target, bytes, options);
    case SaveWay::kDirect:
      return WriteDirect(fileName, target, bytes, options.reach);
  }
}

void RemoveLeftoverTemporaries(const std::string& folder) {
  const FileDescriptor fd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (fd.Get() >= 0) RemoveLeftoverTemporaries(fd.Get());
}

bool SyncFileSystem(const std::string& folder) {
  FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return fd.Get() >= 0 && ::syncfs(fd.Get()) == 0;
}
