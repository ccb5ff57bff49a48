// Checked writes through a temporary file renamed into place.
#include "platform/file_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file_system.h"

namespace korvel::platform {

namespace {

FileWriteHook g_write_hook = nullptr;
uint64_t g_write_index = 0;

constexpr char kTempPrefix[] = ".korvel-write-";
constexpr size_t kTempPrefixLength = sizeof kTempPrefix - 1;
constexpr size_t kTempSuffixLength = 6;  // what mkostemp puts in place of "XXXXXX"

// When this process started, on the coarse clock that file times are taken from: every temporary
// file this run makes was last changed at or after it.
const timespec g_run_start = [] {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return now;
}();

bool IsTempName(const char* name) {
  if (std::strncmp(name, kTempPrefix, kTempPrefixLength) != 0) return false;
  const char* suffix = name + kTempPrefixLength;
  size_t n = 0;
  for (; suffix[n] != '\0'; ++n) {
    const char c = suffix[n];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) {
      return false;
    }
  }
  return n == kTempSuffixLength;
}

// File times on some file systems are coarse (two seconds on FAT) or come from a server whose
// clock is off: a file counts as older than this run only when it is older by this much.
constexpr time_t kStaleMarginSeconds = 60;

bool BeforeRunStart(const timespec& t) {
  return t.tv_sec < g_run_start.tv_sec - kStaleMarginSeconds;
}

// Removes the temporary files that an earlier run left in `folder` when it was killed mid-write:
// regular files named exactly as ours and last changed well before this run started. Newer ones
// may belong to a write of this run still going on; nothing else is touched.
void RemoveStaleTemps(const std::string& folder) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  const int dir_fd = ::dirfd(dir);
  bool removed = false;
  while (const dirent* entry = ::readdir(dir)) {
    if (!IsTempName(entry->d_name)) continue;
    struct stat st {};
    if (::fstatat(dir_fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode) && BeforeRunStart(st.st_mtim) &&
        ::unlinkat(dir_fd, entry->d_name, 0) == 0) {
      removed = true;
    }
  }
  ::closedir(dir);
  if (removed) ForgetFolderListings();
}

void Fail(FileWriter* writer, int error) {
  if (writer->error == 0) writer->error = error != 0 ? error : EIO;
}

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL;  // some file systems cannot sync folders
  ::close(fd);
  return ok;
}

}  // namespace

FileWriter::~FileWriter() {
  if (handle >= 0 || !temp_path.empty()) AbortFileWrite(this);
}

void SetFileWriteHook(FileWriteHook hook) {
  g_write_hook = hook;
  g_write_index = 0;
}

bool BeginFileWrite(const std::string& folder, const std::string& name, FileWriter* writer) {
  AbortFileWrite(writer);
  writer->error = 0;
  writer->written = 0;
  writer->folder = folder;
  while (writer->folder.size() > 1 && writer->folder.back() == '/') writer->folder.pop_back();
  std::string real;
  bool is_folder = false;
  if (ResolvePath(writer->folder, name, &real, &is_folder) == FileStatus::kOk && !is_folder) {
    writer->target = real;
  } else {
    writer->target = writer->folder + "/" + name;
  }
  RemoveStaleTemps(writer->folder);
  std::string pattern = writer->folder + "/" + kTempPrefix + "XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd < 0) {
    Fail(writer, errno);
    return false;
  }
  ::fchmod(fd, 0644);
  writer->handle = fd;
  writer->temp_path = buffer.data();
  return true;
}

bool WriteFileBytes(FileWriter* writer, const void* data, size_t count) {
  if (writer->handle < 0) Fail(writer, EBADF);
  if (writer->error != 0) return false;
  if (g_write_hook != nullptr) g_write_hook(g_write_index++);
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (count > 0) {
    const ssize_t n = ::write(writer->handle, bytes, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(writer, errno);
      return false;
    }
    if (n == 0) {
      Fail(writer, ENOSPC);
      return false;
    }
    bytes += n;
    count -= static_cast<size_t>(n);
    writer->written += static_cast<uint64_t>(n);
  }
  return true;
}

bool CommitFileWrite(FileWriter* writer) {
  if (writer->handle < 0) Fail(writer, EBADF);
  if (writer->error == 0 && ::fsync(writer->handle) != 0) Fail(writer, errno);
  if (writer->handle >= 0) {
    if (::close(writer->handle) != 0) Fail(writer, errno);
    writer->handle = -1;
  }
  if (writer->error == 0 && ::rename(writer->temp_path.c_str(), writer->target.c_str()) != 0) {
    Fail(writer, errno);
  }
  if (writer->error != 0) {
    AbortFileWrite(writer);
    return false;
  }
  writer->temp_path.clear();
  // The new file is in place; a folder that cannot be flushed is still reported, the data stays.
  if (!SyncFolder(writer->folder)) Fail(writer, errno);
  ForgetFolderListings();
  return writer->error == 0;
}

void AbortFileWrite(FileWriter* writer) {
  if (writer->handle >= 0) {
    ::close(writer->handle);
    writer->handle = -1;
  }
  if (!writer->temp_path.empty()) {
    ::unlink(writer->temp_path.c_str());
    writer->temp_path.clear();
  }
}

int CreateFolderPath(const std::string& path) {
  if (path.empty()) return 0;
  std::string partial;
  size_t start = 0;
  if (path.front() == '/') {
    partial = "/";
    start = 1;
  }
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) {
      if (!partial.empty() && partial.back() != '/') partial += '/';
      partial.append(path, start, end - start);
      if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return errno;
      struct stat st {};
      if (::stat(partial.c_str(), &st) != 0) return errno;
      if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    }
    start = end + 1;
  }
  ForgetFolderListings();
  return 0;
}

}  // namespace korvel::platform
