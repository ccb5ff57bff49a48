// Checked writes through a temporary file renamed into place.
#include "platform/file_writer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <sys/random.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/file_system.h"

namespace korvel::platform {

namespace {

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

// 0, or the errno of a failed flush of the folder.
int SyncFolder(const std::string& folder) {
  if (g_file_write_fault != nullptr) {
    if (const int injected = g_file_write_fault(FileWriteStep::kFolderFlush); injected != 0) {
      return injected;
    }
  }
  const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return errno;
  int error = 0;
  if (::fsync(fd) != 0 && errno != EINVAL) error = errno;  // some file systems cannot sync folders
  ::close(fd);
  return error;
}

// A target that is a symbolic link is replaced by the real path of the file it names, and its
// folder by that file's folder; any other target stays. False (errno set) when a link names nothing.
bool FollowTargetLink(std::string* target, std::string* folder) {
  struct stat st {};
  if (::lstat(target->c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
  char buffer[PATH_MAX];
  if (::realpath(target->c_str(), buffer) == nullptr) return false;
  *target = buffer;
  const size_t slash = target->find_last_of('/');
  *folder = slash == 0 ? std::string("/") : target->substr(0, slash);
  return true;
}

// Creates a temporary file in `folder` named as RemoveStaleTemps recognises, with the mode
// 0666 so that the umask (or the folder's default access list) applies as to any new file.
int CreateTempFile(const std::string& folder, std::string* path) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    uint8_t random[kTempSuffixLength];
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
      // Without the kernel's generator the clock and a counter still make names that differ.
      static std::atomic<uint64_t> counter{0};
      timespec now{};
      ::clock_gettime(CLOCK_MONOTONIC, &now);
      uint64_t mix = static_cast<uint64_t>(now.tv_nsec) * 0x9E3779B97F4A7C15u + counter++;
      for (auto& r : random) {
        r = static_cast<uint8_t>(mix);
        mix = mix * 6364136223846793005u + 1442695040888963407u;
        mix ^= mix >> 29;
      }
    }
    std::string name = folder + "/" + kTempPrefix;
    for (uint8_t r : random) name += kLetters[r % (sizeof kLetters - 1)];
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      *path = std::move(name);
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

FileWriter::~FileWriter() {
  if (handle >= 0 || !temp_path.empty()) AbortFileWrite(this);
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
  // The temporary file goes beside the file it replaces: a rename does not cross file systems.
  const std::string named_folder = writer->folder;
  if (!FollowTargetLink(&writer->target, &writer->folder)) {
    Fail(writer, errno);
    return false;
  }
  if (writer->folder != named_folder) RemoveStaleTemps(writer->folder);
  std::string temp_path;
  const int fd = CreateTempFile(writer->folder == "/" ? "" : writer->folder, &temp_path);
  if (fd < 0) {
    Fail(writer, errno);
    return false;
  }
  writer->handle = fd;
  writer->temp_path = std::move(temp_path);
  // A file written again keeps its permission bits (never set-id or sticky bits, which new
  // content should not inherit). Where the mode cannot be given (a file system without modes) the
  // new file's own mode stands.
  struct stat old {};
  if (::stat(writer->target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
    (void)::fchmod(fd, old.st_mode & 0777);
  }
  return true;
}

bool WriteFileBytes(FileWriter* writer, const void* data, size_t count) {
  if (writer->handle < 0) Fail(writer, EBADF);
  if (writer->error != 0) return false;
  if (g_file_write_fault != nullptr) {
    if (const int injected = g_file_write_fault(FileWriteStep::kWrite); injected != 0) {
      Fail(writer, injected);
      return false;
    }
  }
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
  ForgetFolderListings();
  // The new file is in place and every reader already sees it: a folder that cannot be flushed
  // only leaves the rename less sure to survive a crash, so the write still succeeds.
  if (const int error = SyncFolder(writer->folder); error != 0) {
    std::fprintf(stderr, "korvel: %s was written, but its folder could not be flushed to disk: %s\n",
                 writer->target.c_str(), std::strerror(error));
  }
  return true;
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
