// A file stream that replaces its target only when it is complete. Bytes go to a temporary file
// in the target's folder; Commit flushes them to disk and renames the temporary over the target.
// Without Commit (an exception on the way) the temporary is removed and the target is untouched,
// so a failed save never leaves the user's file destroyed or half-written.
#pragma once

#include <string>

#include "platform/stream.h"

class TGraphic;

// When the bytes reach the disk. kEach flushes every file before its rename; kDeferred leaves
// that to one SyncFileSystem call after many files (a batch), the rename still being atomic.
enum class FileSync { kEach, kDeferred };

class TReplacingFileStream : public TStream {
 public:
  // Creates the temporary; raises EFCreateError naming fileName when the folder is not writable.
  explicit TReplacingFileStream(const std::string& fileName, FileSync sync = FileSync::kEach);
  ~TReplacingFileStream() override;
  TReplacingFileStream(const TReplacingFileStream&) = delete;
  TReplacingFileStream& operator=(const TReplacingFileStream&) = delete;

  std::size_t Read(void* buffer, std::size_t count) override;
  std::size_t Write(const void* buffer, std::size_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;

  // Makes the written bytes the target's content: fsync (kEach), close, rename. Raises EWriteError
  // when the data cannot be flushed and EFCreateError when the rename fails; the target is then as
  // it was before.
  void Commit();

  const std::string& FileName() const { return fileName_; }
  const std::string& TemporaryName() const { return tempName_; }

 private:
  void Discard() noexcept;

  std::string fileName_;  // as the caller named it, for messages
  std::string target_;    // the file that is replaced (a symbolic link's target)
  std::string tempName_;
  FileSync sync_;
  int fd_ = -1;
};

// graphic.SaveToStream into fileName through a TReplacingFileStream.
void SaveGraphicReplacing(TGraphic& graphic, const std::string& fileName,
                          FileSync sync = FileSync::kEach);
// Flushes everything written to the file system that holds folder; false when that failed.
bool SyncFileSystem(const std::string& folder);
