// Saving bytes as a file's content so that the file stays the file it was: its owner, links,
// permissions and kind survive, and a failed save leaves the old content whole wherever that can
// be promised.
#pragma once

#include <string>
#include <string_view>

#include "app/temporary_file.h"

// When the bytes reach the disk. kEach flushes every file before it takes the target's place;
// kDeferred leaves that to one SyncFileSystem call after many files (a batch), the rename still
// being atomic.
enum class FileSync { kEach, kDeferred };

// How far a save may reach from the name it is given. kFollowLinks writes the file a symbolic
// link names, as editors do for a name the user typed. kWithinFolder is for names that come from
// data (a batch table): the last part of the name must not be a symbolic link, and a file that
// other hard links share is replaced rather than written through, so nothing outside the folder
// changes.
enum class FileReach { kFollowLinks, kWithinFolder };

struct FileSaveOptions {
  FileSync sync = FileSync::kEach;
  FileReach reach = FileReach::kFollowLinks;
  // Clears leftovers of killed saves from the folder first (RemoveLeftoverTemporaries). A batch
  // does that once for its folder instead of once per picture.
  bool removeLeftovers = true;
  TemporaryKind temporary = TemporaryKind::kUnnamedWhereSupported;
};

// Makes bytes the content of fileName, a UTF-8 path.
// - No file yet, or a regular file that a rename keeps as it is (a folder the user may write,
//   one link, owned by the user, no access list): the bytes go to an unnamed file in the same
//   folder, which becomes the target only once complete. A failure or a kill on the way leaves
//   the target as it was.
// - Any other regular file (a hard link, another user's file, a folder the user may not
//   write): written in place, after its new size was reserved on disk, so that a full disk
//   fails before the old content is touched.
// - A device, FIFO or socket: written directly, never replaced.
// The file keeps its permission bits, set-user-ID and set-group-ID included. A target the user
// may not write raises EFCreateError naming fileName, as a direct create would; a failed write
// raises EWriteError. Both carry the reason (app/os_error.h).
void SaveFileBytes(const std::string& fileName, std::string_view bytes,
                   const FileSaveOptions& options = {});

// Removes leftovers of killed saves from folder (see RemoveLeftoverTemporaries).
void RemoveLeftoverTemporaries(const std::string& folder);

// Flushes everything written to the file system that holds folder; false when that failed.
bool SyncFileSystem(const std::string& folder);
