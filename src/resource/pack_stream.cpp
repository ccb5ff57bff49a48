// Positioned reads of a pack inside its bounds.
#include "resource/pack_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "resource/pack_format.h"

namespace korvel {

PackExecutable g_pack_executable;

namespace {

constexpr uint64_t kFooterSize = 16;  // the appended-data footer at the end of the executable

}  // namespace

bool OpenDataFile(DataFileStream* stream, const std::string& path) {
  *stream = DataFileStream{};
  const bool executable = path == kExecutablePackPath;
  const std::string& real = executable ? g_pack_executable.path : path;
  if (real.empty()) return false;
  const int fd = open(real.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return false;
  }
  const auto size = static_cast<uint64_t>(st.st_size);
  uint64_t base = 0;
  uint64_t end = size;
  if (executable) {
    base = g_pack_executable.base;
    if (size < kFooterSize || base > size - kFooterSize || base > INT64_MAX) {
      close(fd);
      return false;
    }
    end = size - kFooterSize;
  }
  stream->fd = fd;
  stream->opened = true;
  stream->base = static_cast<int64_t>(base);
  stream->end = end;
  stream->position = base;
  return true;
}

void CloseDataFile(DataFileStream* stream) {
  if (stream->opened && stream->fd >= 0) close(stream->fd);
  *stream = DataFileStream{};
}

uint64_t StreamLength(const DataFileStream& stream) {
  return stream.end - static_cast<uint64_t>(stream.base);
}

bool SeekStreamTo(DataFileStream* stream, uint64_t position) {
  if (!stream->opened || position > StreamLength(*stream)) return false;
  stream->position = static_cast<uint64_t>(stream->base) + position;
  return true;
}

int64_t StreamPosition(const DataFileStream& stream) {
  return static_cast<int64_t>(stream.position - static_cast<uint64_t>(stream.base));
}

bool ReadFileBytes(DataFileStream* stream, void* buffer, size_t count) {
  if (!stream->opened || stream->position > stream->end || count > stream->end - stream->position) {
    return false;
  }
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    // Large reads go in pieces: pread moves at most about 2 GiB at a time.
    const size_t piece = count - done < (size_t{1} << 30) ? count - done : (size_t{1} << 30);
    const ssize_t n =
        pread(stream->fd, out + done, piece, static_cast<off_t>(stream->position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  stream->position += count;
  return true;
}

bool ReadStreamByte(DataFileStream* stream, uint8_t* value) {
  return ReadFileBytes(stream, value, 1);
}

bool ReadFileDword(DataFileStream* stream, uint32_t* value) {
  uint8_t b[4];
  if (!ReadFileBytes(stream, b, sizeof b)) return false;
  *value = PackReadU32(b);
  return true;
}

bool ReadFileQword(DataFileStream* stream, uint64_t* value) {
  uint8_t b[8];
  if (!ReadFileBytes(stream, b, sizeof b)) return false;
  *value = PackReadU64(b);
  return true;
}

}  // namespace korvel
