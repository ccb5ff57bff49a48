// Header and directory decoding.
#include "resource/pack_directory.h"

#include <cstring>

#include "resource/pack_format.h"

namespace korvel {

bool ParsePackHeader(const uint8_t* bytes, size_t size, PackHeaderFields* header) {
  *header = PackHeaderFields{};
  if (size < 16) return false;
  header->magic_ok = std::memcmp(bytes, kPackMagic, sizeof kPackMagic) == 0;
  header->version = static_cast<int32_t>(LoadU32(bytes + 4));
  header->entry_count = LoadU32(bytes + kPackEntryCountOffset);
  header->directory_size = LoadU32(bytes + kPackDirectorySizeOffset);
  return true;
}

PackDirectoryResult ParsePackDirectory(const uint8_t* directory, size_t size, uint32_t count,
                                       PackEntryVisitor visit, void* context) {
  char name[256];
  size_t at = 0;
  for (uint32_t i = 0; i < count; ++i) {
    if (size - at < kPackEntryFixedSize) return PackDirectoryResult::kTruncated;
    if (at > UINT32_MAX - kPackHeaderSize - 4) return PackDirectoryResult::kTruncated;
    const uint8_t* p = directory + at;
    const uint32_t length = PackNameLengthFromCode(p[4]);
    if (size - at - kPackEntryFixedSize < length) return PackDirectoryResult::kTruncated;
    for (uint32_t j = 0; j < length; ++j) name[j] = static_cast<char>(~p[5 + j]);
    const uint8_t* tail = p + 5 + length;
    PackDirectoryEntry entry;
    entry.hash = LoadU32(p);
    entry.length_position = static_cast<uint32_t>(kPackHeaderSize + at + 4);
    entry.name = name;
    entry.name_length = length;
    entry.type = tail[0];
    entry.compression = tail[1];
    entry.size = LoadU32(tail + 2);
    entry.stored_size = LoadU32(tail + 6);
    entry.data_offset = LoadU64(tail + 10);
    entry.data_hash = LoadU32(tail + 18);
    if (!visit(context, entry)) return PackDirectoryResult::kStopped;
    at += kPackEntryFixedSize + length;
  }
  return PackDirectoryResult::kOk;
}

uint64_t MaxPackDirectoryBytes(uint64_t count) { return count * (kPackEntryFixedSize + 255); }

}  // namespace korvel
