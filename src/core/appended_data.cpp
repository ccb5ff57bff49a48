// The appended data block, with every size checked against the file.
#include "core/appended_data.h"

#include <cstring>

#include "core/byte_reader.h"
#include "platform/read_only_file.h"

namespace korvel {

AppendedData g_appended;

namespace {


// Where the probe reads its bytes: a file on disk or a file held in memory.
struct ByteSource {
  const platform::ReadOnlyFile* file = nullptr;
  const uint8_t* bytes = nullptr;
  uint64_t size = 0;

  bool ReadAt(uint64_t offset, void* buffer, size_t count) const {
    if (file != nullptr) {
      return platform::ReadFileAt(*file, offset, buffer, count) == platform::FileStatus::kOk;
    }
    if (offset > size || count > size - offset) return false;
    if (count != 0) std::memcpy(buffer, bytes + offset, count);
    return true;
  }
};

// Reads the footer and the block; every size must fit between R and the footer.
void Probe(const ByteSource& source, AppendedData* data) {
  *data = AppendedData{};
  data->file_size = source.size;
  if (source.size < kAppendedFooterSize) return;
  const uint64_t content_end = source.size - kAppendedFooterSize;
  uint8_t footer[kAppendedFooterSize];
  if (!source.ReadAt(content_end, footer, sizeof(footer))) return;
  uint64_t r = kNoAppendedBlock;
  if (!ParseAppendedFooter(footer, sizeof(footer), &r)) return;
  data->bare_size = r;

  if (r == 0 || r == kNoAppendedBlock || r >= content_end ||
      content_end - r < kAppendedBlockHeaderSize) {
    return;
  }
  uint8_t header[kAppendedBlockHeaderSize];
  if (!source.ReadAt(r, header, sizeof(header))) return;
  if (std::memcmp(header, "KRER", 4) != 0 || LoadU32(header + 12) != 0) return;
  const uint32_t a = LoadU32(header + 4);
  const uint32_t b = LoadU32(header + 8);
  const uint64_t room = content_end - r;  // bytes from R to the footer
  if (b > room - kAppendedBlockHeaderSize) return;
  if (static_cast<uint64_t>(a) < kAppendedBlockHeaderSize + b || a > room) return;
  data->block_present = true;
  data->pack_offset = a;
  data->preview_size = b;
  data->screen_saver_build = b != 0;
  data->packs_inside_executable = true;
  data->pack_base = r + a;
}

// Opens the executable; an unreadable one reads as an empty file (size 0, no block).
void ProbeFile(const std::string& executable, platform::ReadOnlyFile* file, AppendedData* data) {
  ByteSource source;
  if (platform::OpenReadOnlyFile(executable, file) == platform::FileStatus::kOk) {
    source.file = file;
    source.size = file->size;
  }
  Probe(source, data);
}

}  // namespace

bool ParseAppendedFooter(const uint8_t* tail, size_t size, uint64_t* bare_size) {
  if (tail == nullptr || size < kAppendedFooterSize) return false;
  const uint8_t* footer = tail + (size - kAppendedFooterSize);
  if (std::memcmp(footer, "KR_RES\0\0", 8) != 0) return false;
  *bare_size = LoadU64(footer + 8);
  return true;
}

void ProbeAppendedBytes(const uint8_t* file, size_t size, AppendedData* data) {
  ByteSource source;
  source.bytes = file;
  source.size = file != nullptr ? size : 0;
  Probe(source, data);
}

uint64_t ReadAppendedDataOffset(const std::string& executable) {
  platform::ReadOnlyFile file;
  AppendedData data;
  ProbeFile(executable, &file, &data);
  return data.bare_size;
}

uint64_t ProbeAppendedData(const std::string& executable, AppendedData* data) {
  platform::ReadOnlyFile file;
  ProbeFile(executable, &file, data);
  return data->file_size;
}

bool HasAppendedData(const std::string& executable) {
  AppendedData data;
  ProbeAppendedData(executable, &data);
  return data.block_present;
}

std::vector<uint8_t> ReadAppendedPreviewBitmap(const std::string& executable) {
  platform::ReadOnlyFile file;
  AppendedData data;
  ProbeFile(executable, &file, &data);
  if (!data.block_present || data.preview_size == 0) return {};
  std::vector<uint8_t> bitmap(data.preview_size);
  if (platform::ReadFileAt(file, data.bare_size + kAppendedBlockHeaderSize, bitmap.data(),
                           bitmap.size()) != platform::FileStatus::kOk) {
    return {};
  }
  return bitmap;
}

}  // namespace korvel
