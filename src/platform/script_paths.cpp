// Script paths: lexical normalisation inside a root, case-insensitive resolution, the root as a
// fence for symbolic links, and the folder, copy and delete operations built on them.
#include "platform/script_paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/file_writer.h"
#include "platform/text_encoding.h"

namespace korvel::platform {

namespace {

std::string RootBase(std::string_view root) {
  std::string base(root.empty() ? std::string_view("./") : root);
  if (base.back() != '/') base += '/';
  return base;
}

bool RealPath(const std::string& path, std::string* out) {
  char buffer[PATH_MAX];
  if (realpath(path.c_str(), buffer) == nullptr) return false;
  *out = buffer;
  return true;
}

// Components of a script path after the length check and the conversion.
FileStatus SplitScriptPath(std::string_view sjis_path, std::vector<std::string>* parts) {
  if (sjis_path.size() > kMaxScriptPathBytes) return FileStatus::kRefused;
  return SplitRelativePath(SjisPathToUtf8(sjis_path), parts);
}

// Walks the existing folders `parts[0..count)` below `base`; `*path` receives the real path
// (ending with '/').
FileStatus WalkFolders(const std::string& base, const std::vector<std::string>& parts,
                       size_t count, std::string* path) {
  *path = base;
  for (size_t k = 0; k < count; ++k) {
    std::string found;
    const FileStatus status = FindFolderEntry(*path, parts[k], &found);
    if (status != FileStatus::kOk) return status;
    *path += found;
    *path += '/';
  }
  struct stat st {};
  if (stat(path->c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return FileStatus::kNotFound;
  return FileStatus::kOk;
}

}  // namespace

FileStatus SplitRelativePath(std::string_view relative, std::vector<std::string>* components) {
  components->clear();
  if (!relative.empty() && relative[0] == '/') return FileStatus::kRefused;
  if (relative.find(':') != std::string_view::npos) return FileStatus::kRefused;
  size_t i = 0;
  while (i <= relative.size()) {
    size_t end = relative.find('/', i);
    if (end == std::string_view::npos) end = relative.size();
    const std::string_view component = relative.substr(i, end - i);
    i = end + 1;
    if (component.empty() || component == ".") continue;
    if (component == "..") {
      if (components->empty()) return FileStatus::kRefused;
      components->pop_back();
      continue;
    }
    components->emplace_back(component);
  }
  return FileStatus::kOk;
}

bool StaysInsideRoot(const std::string& root, const std::string& path) {
  std::string real_root, real_path;
  if (!RealPath(root.empty() ? std::string(".") : root, &real_root)) return false;
  if (!RealPath(path, &real_path)) return false;
  if (real_path == real_root) return true;
  if (real_root == "/") return true;
  return real_path.size() > real_root.size() && real_path.compare(0, real_root.size(), real_root) == 0 &&
         real_path[real_root.size()] == '/';
}

FileStatus ResolveScriptPath(std::string_view root, std::string_view sjis_path, bool for_write,
                             ScriptPath* out) {
  *out = ScriptPath{};
  if (!for_write) {
    const FileStatus status = ResolveSjisPath(root, sjis_path, &out->real, &out->is_folder);
    if (status != FileStatus::kOk) return status;
    out->exists = true;
    const size_t slash = out->real.find_last_of('/');
    out->folder = out->real.substr(0, slash == std::string::npos ? 0 : slash);
    out->leaf = out->real.substr(slash == std::string::npos ? 0 : slash + 1);
    return FileStatus::kOk;
  }
  std::vector<std::string> parts;
  const FileStatus split = SplitScriptPath(sjis_path, &parts);
  if (split != FileStatus::kOk) return split;
  if (parts.empty()) return FileStatus::kNotFound;
  const std::string base = RootBase(root);
  std::string folder;
  const FileStatus walked = WalkFolders(base, parts, parts.size() - 1, &folder);
  if (walked != FileStatus::kOk) return walked;
  if (!StaysInsideRoot(base, folder)) return FileStatus::kRefused;
  std::string leaf;
  out->exists = FindFolderEntry(folder, parts.back(), &leaf) == FileStatus::kOk;
  if (!out->exists) leaf = parts.back();
  out->real = folder + leaf;
  if (out->exists) {
    struct stat st {};
    if (lstat(out->real.c_str(), &st) != 0) return FileStatus::kNotFound;
    // A link is written through only when what it names stays inside; a dangling one is refused.
    if (S_ISLNK(st.st_mode) && !StaysInsideRoot(base, out->real)) return FileStatus::kRefused;
    struct stat target {};
    out->is_folder = stat(out->real.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
  }
  folder.pop_back();
  out->folder = std::move(folder);
  out->leaf = std::move(leaf);
  return FileStatus::kOk;
}

FileStatus CreateScriptFolderChain(std::string_view root, std::string_view sjis_path) {
  std::vector<std::string> parts;
  const FileStatus split = SplitScriptPath(sjis_path, &parts);
  if (split != FileStatus::kOk) return split;
  const std::string base = RootBase(root);
  std::string path = base;
  for (const std::string& part : parts) {
    std::string found;
    if (FindFolderEntry(path, part, &found) != FileStatus::kOk) {
      found = part;
      if (mkdir((path + found).c_str(), 0755) != 0 && errno != EEXIST) return FileStatus::kOpenFailed;
      ForgetFolderListings();
    }
    path += found;
    path += '/';
    if (!StaysInsideRoot(base, path)) return FileStatus::kRefused;
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return FileStatus::kNotFound;
  return FileStatus::kOk;
}

FileStatus CopyScriptFile(std::string_view root, std::string_view sjis_from,
                          std::string_view sjis_to) {
  ScriptPath from, to;
  FileStatus status = ResolveScriptPath(root, sjis_from, false, &from);
  if (status != FileStatus::kOk) return status;
  if (from.is_folder) return FileStatus::kIsFolder;
  status = ResolveScriptPath(root, sjis_to, true, &to);
  if (status != FileStatus::kOk) return status;
  if (to.is_folder) return FileStatus::kIsFolder;
  uint8_t* data = nullptr;
  size_t size = 0;
  status = ReadWholeFile(from.real, &data, &size);
  if (status != FileStatus::kOk) return status;
  FileWriter writer;
  bool ok = BeginFileWrite(to.folder, to.leaf, &writer) && WriteFileBytes(&writer, data, size) &&
            CommitFileWrite(&writer);
  std::free(data);
  return ok ? FileStatus::kOk : FileStatus::kOpenFailed;
}

FileStatus DeleteScriptFile(std::string_view root, std::string_view sjis_path) {
  ScriptPath path;
  const FileStatus status = ResolveScriptPath(root, sjis_path, true, &path);
  if (status != FileStatus::kOk) return status;
  if (!path.exists) return FileStatus::kNotFound;
  if (path.is_folder) return FileStatus::kIsFolder;
  if (unlink(path.real.c_str()) != 0) return FileStatus::kOpenFailed;
  ForgetFolderListings();
  return FileStatus::kOk;
}

FileStatus RemoveScriptFolder(std::string_view root, std::string_view sjis_path) {
  ScriptPath path;
  const FileStatus status = ResolveScriptPath(root, sjis_path, false, &path);
  if (status != FileStatus::kOk) return status;
  if (!path.is_folder) return FileStatus::kNotFound;
  // The root itself is never removed.
  std::string real_root, real_path;
  if (!RealPath(RootBase(root), &real_root) || !RealPath(path.real, &real_path) ||
      real_root == real_path) {
    return FileStatus::kRefused;
  }
  if (rmdir(path.real.c_str()) != 0) return FileStatus::kOpenFailed;
  ForgetFolderListings();
  return FileStatus::kOk;
}

FileStatus ScriptFileSize(std::string_view root, std::string_view sjis_path, uint64_t* size) {
  *size = 0;
  ScriptPath path;
  const FileStatus status = ResolveScriptPath(root, sjis_path, false, &path);
  if (status != FileStatus::kOk) return status;
  if (path.is_folder) return FileStatus::kIsFolder;
  struct stat st {};
  if (stat(path.real.c_str(), &st) != 0) return FileStatus::kNotFound;
  *size = static_cast<uint64_t>(st.st_size);
  return FileStatus::kOk;
}

}  // namespace korvel::platform
