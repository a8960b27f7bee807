// Saving bytes as a file's content so that the file stays the file it was: its owner, links,
// permissions and kind survive, and a failed save leaves the old content whole wherever that can
// be promised.
#pragma once

#include <string>
#include <string_view>

// When the bytes reach the disk. kEach flushes every file before it takes the target's place;
// kDeferred leaves that to one SyncFileSystem call after many files (a batch), the rename still
// being atomic.
enum class FileSync { kEach, kDeferred };

// Makes bytes the content of fileName, a UTF-8 path; a symbolic link is followed.
// - No file yet, or a regular file that a rename keeps as it is (a folder the user may write,
//   one link, owned by the user, no access list): the bytes go to an unnamed file in the same
//   folder, linked in and renamed over the target only once complete. A failure or a kill on
//   the way leaves the target as it was and no temporary file behind.
// - Any other regular file (a hard link, another user's file, a folder the user may not
//   write): written in place, after its new size was reserved on disk, so that a full disk
//   fails before the old content is touched.
// - A device, FIFO or socket: written directly, never replaced.
// A target the user may not write raises EFCreateError naming fileName, as a direct create
// would; a failed write raises EWriteError. Both carry the system's reason (app/os_error.h).
void SaveFileBytes(const std::string& fileName, std::string_view bytes,
                   FileSync sync = FileSync::kEach);

// Flushes everything written to the file system that holds folder; false when that failed.
bool SyncFileSystem(const std::string& folder);
