// A new file in a folder that becomes visible only when it is complete. It is unnamed where the
// file system allows (O_TMPFILE), so a process killed while writing it leaves nothing behind;
// elsewhere it has a hidden random name, removed on every path that does not keep it.
#pragma once

#include <string>

class TemporaryFile {
 public:
  // Creates the file in folder, readable and writable as the umask allows; on failure Fd() is
  // negative and errno says why. base names the hidden fallback (".base.XXXX.tmp").
  TemporaryFile(const std::string& folder, const std::string& base);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return fd_; }

  // Closes the file and renames it over target (or makes it target when there is none). Raises
  // EWriteError when closing reports a lost write and EFCreateError naming fileName when the
  // file cannot take target's place; target is then as it was and the temporary gone.
  void Replace(const std::string& target, const std::string& fileName);

 private:
  bool LinkIn();

  std::string folder_;
  std::string base_;
  std::string name_;  // the name the file has in folder_, while it has one
  int fd_ = -1;
};
