// Read-only files with positioned reads (pread), checked against the size found at open.
#include "platform/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace korvel::platform {

ReadOnlyFile::~ReadOnlyFile() { CloseReadOnlyFile(this); }

ReadOnlyFile::ReadOnlyFile(ReadOnlyFile&& other) noexcept
    : handle(std::exchange(other.handle, -1)), size(std::exchange(other.size, 0)) {}

ReadOnlyFile& ReadOnlyFile::operator=(ReadOnlyFile&& other) noexcept {
  if (this != &other) {
    CloseReadOnlyFile(this);
    handle = std::exchange(other.handle, -1);
    size = std::exchange(other.size, 0);
  }
  return *this;
}

FileStatus OpenReadOnlyFile(const std::string& path, ReadOnlyFile* file) {
  CloseReadOnlyFile(file);
  // Non-blocking, so a pipe in the file's place fails below instead of waiting for a writer.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return FileStatus::kNotFound;
    if (errno == EISDIR) return FileStatus::kIsFolder;
    return FileStatus::kOpenFailed;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
    const bool folder = S_ISDIR(st.st_mode);
    close(fd);
    return folder ? FileStatus::kIsFolder : FileStatus::kOpenFailed;
  }
  file->handle = fd;
  file->size = static_cast<uint64_t>(st.st_size);
  return FileStatus::kOk;
}

FileStatus ReadFileAt(const ReadOnlyFile& file, uint64_t offset, void* buffer, size_t count) {
  if (!file.is_open()) return FileStatus::kOpenFailed;
  if (offset > file.size || count > file.size - offset) return FileStatus::kShortRead;
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    // Large reads go in pieces: pread moves at most about 2 GiB at a time.
    const size_t piece = count - done < (size_t{1} << 30) ? count - done : (size_t{1} << 30);
    const ssize_t n = pread(file.handle, out + done, piece, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return FileStatus::kShortRead;
    done += static_cast<size_t>(n);
  }
  return FileStatus::kOk;
}

void CloseReadOnlyFile(ReadOnlyFile* file) {
  if (file->handle >= 0) close(file->handle);
  file->handle = -1;
  file->size = 0;
}

}  // namespace korvel::platform
