#include "platform/stream.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/exception.h"

void TStream::ReadBuffer(void* buffer, std::size_t count) {
  auto* out = static_cast<std::uint8_t*>(buffer);
  while (count > 0) {
    const std::size_t n = Read(out, count);
    if (n == 0) ReadError();
    out += n;
    count -= n;
  }
}

void TStream::WriteBuffer(const void* buffer, std::size_t count) {
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  while (count > 0) {
    const std::size_t n = Write(in, count);
    if (n == 0) WriteError();
    in += n;
    count -= n;
  }
}

std::int64_t TStream::GetSize() {
  const std::int64_t position = GetPosition();
  const std::int64_t size = Seek(0, TSeekOrigin::soEnd);
  SetPosition(position);
  return size;
}

// ---- TMemoryStream

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
  if (position_ >= data_.size()) return 0;
  const std::size_t n = std::min(count, data_.size() - position_);
  std::memcpy(buffer, data_.data() + position_, n);
  position_ += n;
  return n;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count) {
  if (count == 0) return 0;
  if (position_ + count > data_.size()) data_.resize(position_ + count);
  std::memcpy(data_.data() + position_, buffer, count);
  position_ += count;
  return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  std::int64_t base = 0;
  if (origin == TSeekOrigin::soCurrent) base = std::int64_t(position_);
  if (origin == TSeekOrigin::soEnd) base = std::int64_t(data_.size());
  // A position past the end is allowed (the next write extends the data); one before the
  // start is not.
  if (offset < -base) ReadError();
  position_ = std::size_t(base + offset);
  return std::int64_t(position_);
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

// ---- TFileStream

namespace {

int OpenFlags(std::uint16_t mode) {
  if (mode == fmCreate) return O_RDWR | O_CREAT | O_TRUNC;
  switch (mode & 0x3) {
    case fmOpenWrite:
      return O_WRONLY;
    case fmOpenReadWrite:
      return O_RDWR;
    default:
      return O_RDONLY;
  }
}

// Sharing modes map onto advisory locks: exclusive and deny-write sharing hold a lock other
// cooperating openers see; the lock is released when the descriptor closes.
void ApplySharing(int fd, std::uint16_t mode) {
  if (mode == fmCreate) return;
  const std::uint16_t share = mode & 0xF0;
  if (share == fmShareExclusive) flock(fd, LOCK_EX | LOCK_NB);
  if (share == fmShareDenyWrite) flock(fd, LOCK_SH | LOCK_NB);
}

}  // namespace

TFileStream::TFileStream(const std::string& fileName, std::uint16_t mode) {
  fd_ = ::open(fileName.c_str(), OpenFlags(mode) | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    if (mode == fmCreate) FileCreateError(fileName);
    FileOpenError(fileName);
  }
  ApplySharing(fd_, mode);
}

TFileStream::~TFileStream() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t TFileStream::Read(void* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, count);
    if (n >= 0) return std::size_t(n);
    if (errno != EINTR) return 0;
  }
}

std::size_t TFileStream::Write(const void* buffer, std::size_t count) {
  for (;;) {
    const ssize_t n = ::write(fd_, buffer, count);
    if (n >= 0) return std::size_t(n);
    if (errno != EINTR) return 0;
  }
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const off_t position = ::lseek(fd_, offset, whence);
  if (position < 0) ReadError();
  return position;
}
