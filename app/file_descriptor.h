// An open file descriptor, closed when it goes out of scope.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "app/os_error.h"

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }

  int Get() const { return fd_; }
  // Closes now, raising EWriteError when that fails: a network file system reports lost writes
  // only here.
  void Close() {
    if (::close(std::exchange(fd_, -1)) != 0) WriteError(errno);
  }

 private:
  int fd_;
};
