// A new file in a folder that becomes visible only when it is complete. It is unnamed where the
// file system allows (O_TMPFILE), so a process killed while writing it leaves nothing behind;
// elsewhere it has a hidden random name, removed on every path that does not keep it.
#pragma once

#include <string>

#include "app/file_descriptor.h"

// Which kind of temporary a save writes. Unnamed files are the default wherever the file system
// has them; the named kind is every other file system's, and what tests pick to reach it.
enum class TemporaryKind { kUnnamedWhereSupported, kNamed };

class TemporaryFile {
 public:
  // Creates the file in the open folder, readable and writable as the umask allows; on failure
  // Fd() is negative and errno says why. base names the hidden fallback (".base.XXXX.tmp").
  TemporaryFile(int folder, const std::string& base,
                TemporaryKind kind = TemporaryKind::kUnnamedWhereSupported);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Fd() const { return file_.Get(); }

  // Closes the file and gives it the name target in the folder. Where nothing has that name
  // yet, an unnamed file is linked in under it directly, so no kill can leave a hidden file
  // behind; otherwise it is renamed over what is there. Raises EWriteError when closing reports
  // a lost write and EFCreateError naming fileName when the file cannot take target's place;
  // target is then as it was and the temporary gone.
  void Place(const std::string& target, const std::string& fileName);

 private:
  bool LinkIn();

  int folder_;
  std::string base_;
  std::string name_;  // the hidden name the file has in the folder, while it has one
  FileDescriptor file_;
};

// Removes the hidden temporaries that saves killed between naming and renaming them left in the
// open folder: names of our pattern, the user's own regular files, untouched for over a minute
// (a save still running is younger). Best effort: what cannot be read or removed stays.
void RemoveLeftoverTemporaries(int folder);
