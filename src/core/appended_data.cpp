// The appended data block, with every size checked against the file.
#include "core/appended_data.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace korvel {

AppendedData g_appended;


namespace {

constexpr uint64_t kFooterSize = 16;
constexpr uint64_t kBlockHeaderSize = 16;

uint32_t ReadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t ReadU64(const uint8_t* p) {
  return static_cast<uint64_t>(ReadU32(p)) | (static_cast<uint64_t>(ReadU32(p + 4)) << 32);
}

bool ReadAt(int fd, uint64_t offset, void* buffer, size_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = pread(fd, out + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads the footer and the block; every size must fit between R and the footer.
void Probe(int fd, AppendedData* data) {
  *data = AppendedData{};
  struct stat st {};
  if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
  data->file_size = static_cast<uint64_t>(st.st_size);
  if (data->file_size < kFooterSize) return;
  const uint64_t content_end = data->file_size - kFooterSize;
  uint8_t footer[kFooterSize];
  if (!ReadAt(fd, content_end, footer, sizeof(footer))) return;
  if (std::memcmp(footer, "KR_RES\0\0", 8) != 0) return;
  data->bare_size = ReadU64(footer + 8);

  const uint64_t r = data->bare_size;
  if (r == 0 || r == 4 || r >= content_end || content_end - r < kBlockHeaderSize) return;
  uint8_t header[kBlockHeaderSize];
  if (!ReadAt(fd, r, header, sizeof(header))) return;
  if (std::memcmp(header, "KRER", 4) != 0 || ReadU32(header + 12) != 0) return;
  const uint32_t a = ReadU32(header + 4);
  const uint32_t b = ReadU32(header + 8);
  const uint64_t room = content_end - r;  // bytes from R to the footer
  if (b > room - kBlockHeaderSize) return;
  if (static_cast<uint64_t>(a) < kBlockHeaderSize + b || a > room) return;
  data->block_present = true;
  data->pack_offset = a;
  data->preview_size = b;
  data->screen_saver_build = b != 0;
  data->packs_inside_executable = true;
  data->pack_base = r + a;
}

}  // namespace

uint64_t ReadAppendedDataOffset(const std::string& executable) {
  FileDescriptor fd(executable);
  AppendedData data;
  Probe(fd.get(), &data);
  return data.bare_size;
}

uint64_t ProbeAppendedData(const std::string& executable, AppendedData* data) {
  FileDescriptor fd(executable);
  Probe(fd.get(), data);
  return data->file_size;
}

bool HasAppendedData(const std::string& executable) {
  AppendedData data;
  ProbeAppendedData(executable, &data);
  return data.block_present;
}

std::vector<uint8_t> ReadAppendedPreviewBitmap(const std::string& executable) {
  FileDescriptor fd(executable);
  AppendedData data;
  Probe(fd.get(), &data);
  if (!data.block_present || data.preview_size == 0) return {};
  std::vector<uint8_t> bitmap(data.preview_size);
  if (!ReadAt(fd.get(), data.bare_size + kBlockHeaderSize, bitmap.data(), bitmap.size())) return {};
  return bitmap;
}

}  // namespace korvel
