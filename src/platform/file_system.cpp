// Loose-file resolution with case-insensitive component matching and a per-folder listing cache.
#include "platform/file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/script_paths.h"
#include "platform/text_encoding.h"

namespace korvel::platform {

namespace {

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (auto& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// One folder's entries by lower-cased name, in byte order of their real names.
struct FolderListing {
  struct timespec mtime {};
  std::unordered_map<std::string, std::vector<std::string>> by_lower;
};

std::mutex g_listing_mutex;
std::unordered_map<std::string, FolderListing> g_listings;

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool ReadListing(const std::string& folder, FolderListing* listing) {
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return false;
  listing->by_lower.clear();
  while (const dirent* entry = readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    listing->by_lower[AsciiLower(name)].emplace_back(name);
  }
  closedir(dir);
  for (auto& [key, names] : listing->by_lower) std::sort(names.begin(), names.end());
  return true;
}

}  // namespace

FileStatus FindFolderEntry(const std::string& folder, std::string_view component,
                        std::string* found) {
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0) return FileStatus::kNotFound;
  if (!S_ISDIR(st.st_mode)) return FileStatus::kNotFound;
  std::lock_guard<std::mutex> lock(g_listing_mutex);
  auto it = g_listings.find(folder);
  if (it == g_listings.end() || !SameTime(it->second.mtime, st.st_mtim)) {
    FolderListing listing;
    listing.mtime = st.st_mtim;
    if (!ReadListing(folder, &listing)) return FileStatus::kOpenFailed;
    it = g_listings.insert_or_assign(folder, std::move(listing)).first;
  }
  const auto hit = it->second.by_lower.find(AsciiLower(component));
  if (hit == it->second.by_lower.end()) return FileStatus::kNotFound;
  const auto& names = hit->second;
  const auto exact = std::find(names.begin(), names.end(), component);
  *found = exact != names.end() ? *exact : names.front();
  return FileStatus::kOk;
}

std::string SjisPathToUtf8(std::string_view sjis_path) {
  std::string text(sjis_path);
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<uint8_t>(text[i]);
    if (IsCp932LeadByte(b) && i + 1 < text.size() && text[i + 1] != '\0') {
      i += 2;
      continue;
    }
    if (text[i] == '\\') text[i] = '/';
    ++i;
  }
  return Cp932ToUtf8(text);
}

FileStatus ResolvePath(std::string_view root, std::string_view relative, std::string* real_path,
                       bool* is_folder) {
  std::vector<std::string> parts;
  const FileStatus split = SplitRelativePath(relative, &parts);
  if (split != FileStatus::kOk) return split;

  std::string base(root.empty() ? std::string_view("./") : root);
  if (base.back() != '/') base += '/';
  std::string path = base;
  for (size_t k = 0; k < parts.size(); ++k) {
    std::string found;
    const FileStatus status = FindFolderEntry(path, parts[k], &found);
    if (status != FileStatus::kOk) return status;
    path += found;
    if (k + 1 < parts.size()) path += '/';
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return FileStatus::kNotFound;
  // A symbolic link on the way may lead anywhere; only what stays below the root is taken.
  if (!StaysInsideRoot(base, path)) return FileStatus::kRefused;
  *is_folder = S_ISDIR(st.st_mode);
  *real_path = std::move(path);
  return FileStatus::kOk;
}

FileStatus ResolveSjisPath(std::string_view root, std::string_view sjis_path,
                           std::string* real_path, bool* is_folder) {
  if (sjis_path.size() > kMaxScriptPathBytes) return FileStatus::kRefused;
  return ResolvePath(root, SjisPathToUtf8(sjis_path), real_path, is_folder);
}

FileStatus ReadWholeFile(const std::string& path, uint8_t** data, size_t* size) {
  *data = nullptr;
  *size = 0;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FileStatus::kOpenFailed;
  struct stat st {};
  if (fstat(fd, &st) != 0) {
    close(fd);
    return FileStatus::kOpenFailed;
  }
  if (S_ISDIR(st.st_mode)) {
    close(fd);
    return FileStatus::kIsFolder;
  }
  const auto length = static_cast<uint64_t>(st.st_size);
  if (length > kMaxWholeFileSize) {
    close(fd);
    return FileStatus::kTooLarge;
  }
  auto* buffer = static_cast<uint8_t*>(std::malloc(length == 0 ? 1 : static_cast<size_t>(length)));
  if (buffer == nullptr) {
    close(fd);
    return FileStatus::kNoMemory;
  }
  uint64_t done = 0;
  while (done < length) {
    const ssize_t n = read(fd, buffer + done, static_cast<size_t>(length - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<uint64_t>(n);
  }
  close(fd);
  if (done != length) {
    std::free(buffer);
    return FileStatus::kShortRead;
  }
  *data = buffer;
  *size = static_cast<size_t>(length);
  return FileStatus::kOk;
}

FileStatus ReadFileHead(const std::string& path, void* buffer, size_t capacity, size_t* got) {
  *got = 0;
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return FileStatus::kOpenFailed;
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    return S_ISDIR(st.st_mode) ? FileStatus::kIsFolder : FileStatus::kOpenFailed;
  }
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < capacity) {
    const ssize_t n = read(fd, out + done, capacity - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return FileStatus::kShortRead;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  *got = done;
  return FileStatus::kOk;
}

bool CanCreateFileIn(const std::string& folder) {
  std::string pattern = folder.empty() ? std::string("./") : folder;
  if (pattern.back() != '/') pattern += '/';
  pattern += "iniXXXXXX";
  const int fd = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return false;
  close(fd);
  unlink(pattern.c_str());
  return true;
}

bool ChangeDirectory(const std::string& folder) { return chdir(folder.c_str()) == 0; }

void ForgetFolderListings() {
  std::lock_guard<std::mutex> lock(g_listing_mutex);
  g_listings.clear();
}

}  // namespace korvel::platform
