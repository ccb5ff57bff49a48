// Loose files: paths from the engine (code page 932, '\' separators, any letter case) resolved below
// a root folder on a case-sensitive file system, and whole-file reads with their failures told apart.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvel::platform {

enum class FileStatus : uint8_t {
  kOk,
  kNotFound,    // a component is missing (or is a file where a folder is needed)
  kRefused,     // absolute path, drive letter, or ".." that leaves the root
  kIsFolder,    // a file was wanted
  kOpenFailed,  // exists but cannot be opened or listed
  kTooLarge,    // 4 GiB or more: cannot be held as a data file
  kShortRead,   // the file ended (or failed) before its size was read
  kNoMemory,
};

// The largest file ReadWholeFile takes: sizes of data files are 32-bit, so 4 GiB or more is refused.
inline constexpr uint64_t kMaxWholeFileSize = 0xFFFFFFFFull;

// '\' becomes '/' (trail bytes of double-byte characters are stepped over), then the text is
// converted from code page 932 to UTF-8.
std::string SjisPathToUtf8(std::string_view sjis_path);

// Resolves `relative` (UTF-8, '/' separators) below `root` (a folder, UTF-8). Each component is
// matched against the folder's entries without regard to ASCII case (an exact match wins; among
// several others the first in byte order). "." is skipped, ".." goes up but never above the root,
// empty components are skipped; ':' anywhere is refused, and so is a path whose real path (symbolic
// links followed) leaves the root. An empty root is the current folder. On kOk `real_path` holds root + the names found on disk and
// `is_folder` tells what it is. An empty path names the root.
FileStatus ResolvePath(std::string_view root, std::string_view relative, std::string* real_path,
                       bool* is_folder);

// The same for a code page 932 path with '\' or '/' separators; over 259 bytes it is refused.
FileStatus ResolveSjisPath(std::string_view root, std::string_view sjis_path,
                           std::string* real_path, bool* is_folder);

// Finds `name` among the entries of `folder` (ending with '/') without regard to ASCII case (an
// exact match wins; among several others the first in byte order); the real name goes to `*found`.
FileStatus FindFolderEntry(const std::string& folder, std::string_view name, std::string* found);

// Reads a whole file into a new heap block (std::malloc; the caller frees it with std::free).
// kTooLarge above kMaxWholeFileSize bytes, kShortRead when fewer bytes than its size could be
// read, kIsFolder for a folder.
FileStatus ReadWholeFile(const std::string& path, uint8_t** data, size_t* size);

// Reads up to `capacity` bytes from the start of a file; `*got` receives the count.
FileStatus ReadFileHead(const std::string& path, void* buffer, size_t capacity, size_t* got);

// True when a new file can be made in `folder` (one is created and removed again).
bool CanCreateFileIn(const std::string& folder);

// Makes `folder` the current folder; false when it cannot be entered.
bool ChangeDirectory(const std::string& folder);

// Forgets every cached folder listing (after the engine wrote, renamed or removed files). Listings
// are also read again whenever a folder's modification time changes.
void ForgetFolderListings();

}  // namespace korvel::platform
