// The one way the engine writes a file: a temporary file in the target's folder, every write
// checked, flushed to disk, renamed over the target and the folder flushed, so a failure at any
// point leaves the old file whole.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvel::platform {

// A file being written. Moving is not allowed; the owner commits or aborts it (the destructor
// aborts an uncommitted write).
struct FileWriter {
  int handle = -1;
  std::string folder;     // the target's folder (UTF-8, no trailing '/')
  std::string target;     // the path the commit renames over
  std::string temp_path;  // the temporary file
  int error = 0;          // errno of the first failure, 0 while all went well
  uint64_t written = 0;

  FileWriter() = default;
  ~FileWriter();
  FileWriter(const FileWriter&) = delete;
  FileWriter& operator=(const FileWriter&) = delete;
};

// Starts writing `name` (UTF-8, one path component) in `folder`. The target is the folder's entry
// that matches `name` without regard to ASCII case when there is one (its real name is kept), else
// `name` itself. A target that is a symbolic link is written at the path it names, so the link stays
// a link. The new file keeps the mode of the file it replaces; a file that is new gets 0666 less the
// umask. False (error set) when the temporary file cannot be made or a link names no file. Temporary
// files that an earlier run left in the folder (killed mid-write) are removed first.
bool BeginFileWrite(const std::string& folder, const std::string& name, FileWriter* writer);

// Appends `count` bytes. False (error set) on any failure; later writes then fail too.
bool WriteFileBytes(FileWriter* writer, const void* data, size_t count);

// Flushes the temporary file, renames it over the target, flushes the folder and forgets the
// cached folder listings. False (error set; the temporary file removed, the target untouched) on
// any failure up to the rename, also when an earlier write failed. Once the rename is done the new
// file is in place: a folder that cannot be flushed is told on stderr and the write still succeeds.
bool CommitFileWrite(FileWriter* writer);

// Closes and removes the temporary file; the target is untouched.
void AbortFileWrite(FileWriter* writer);

// Creates `path` and every missing folder above it (UTF-8, absolute or relative). 0, or the errno
// of the failing step.
int CreateFolderPath(const std::string& path);

// Where a file write can be stopped from outside: before each write, and before the folder is
// flushed.
enum class FileWriteStep : uint8_t { kWrite, kFolderFlush };
// A test's fault injector, called at each step (null: none; the program sets none). It may end the
// process there, to show that an interrupted save leaves the old file, or answer an errno that the
// step then fails with (0: the step goes ahead).
using FileWriteFault = int (*)(FileWriteStep step);
inline FileWriteFault g_file_write_fault = nullptr;

}  // namespace korvel::platform
