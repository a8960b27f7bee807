// An open file descriptor, closed when it goes out of scope.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <utility>

#include "app/os_error.h"

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int Get() const { return fd_; }
  // Closes now, raising EWriteError when that fails: a network file system reports lost writes
  // only here.
  void Close() {
    if (::close(std::exchange(fd_, -1)) != 0) WriteError(errno);
  }

 private:
  int fd_;
};
