// Paths that scripts name (code page 932, '\' or '/'): kept inside their root folder, matched
// without regard to case, with folder chains, copies and deletions done through the same rules.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace korvel::platform {

// The longest script path taken, in bytes (the fixed buffers scripts were written for hold 260).
inline constexpr size_t kMaxScriptPathBytes = 259;

// Splits a path (UTF-8, '/' separators) into components: "." and empty ones dropped, ".." taking
// back the one before. kRefused for an absolute path ("/x", "\\srv\x" after conversion), any ':'
// (drive letters, streams) or a ".." that leaves the root, even when a later step comes back.
FileStatus SplitRelativePath(std::string_view relative, std::vector<std::string>* components);

// True when `path` (a real path, symbolic links followed) lies at or below `root`'s real path.
bool StaysInsideRoot(const std::string& root, const std::string& path);

// Where a script path leads. For a file that is to be written the last component need not exist:
// `exists` says whether it does; `folder` is the real folder that holds it and `leaf` its name
// (the name on disk when it exists).
struct ScriptPath {
  std::string real;
  std::string folder;
  std::string leaf;
  bool exists = false;
  bool is_folder = false;
};

// Resolves a script path for reading (`for_write` false: it must exist) or for writing (every
// folder must exist; the last component may be missing, or an existing file). kRefused also for
// a path over kMaxScriptPathBytes and for a link whose real path leaves the root; kNotFound when
// nothing is named (an empty path) for writing.
FileStatus ResolveScriptPath(std::string_view root, std::string_view sjis_path, bool for_write,
                             ScriptPath* out);

// Creates every missing folder of the chain (existing ones matched without regard to case).
// kOk when the last folder exists afterwards.
FileStatus CreateScriptFolderChain(std::string_view root, std::string_view sjis_path);

// Copies a file over another (an existing destination is replaced, through a temporary file).
FileStatus CopyScriptFile(std::string_view root, std::string_view sjis_from,
                          std::string_view sjis_to);

// Deletes a file (not a folder) / removes an empty folder.
FileStatus DeleteScriptFile(std::string_view root, std::string_view sjis_path);
FileStatus RemoveScriptFolder(std::string_view root, std::string_view sjis_path);

// The size of a file; kIsFolder for a folder.
FileStatus ScriptFileSize(std::string_view root, std::string_view sjis_path, uint64_t* size);

}  // namespace korvel::platform
