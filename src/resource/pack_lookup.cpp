// Pack lookups through the index and entry loads through a stream of their own.
#include "resource/pack_lookup.h"

#include <zlib.h>

#include <cstring>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "core/shift_jis.h"
#include "resource/pack_format.h"
#include "resource/pack_mount.h"
#include "resource/pack_repair.h"
#include "resource/pack_stream.h"

namespace korvel {

namespace {

// Deflate cannot expand data by more than 1032 to 1: a larger declared size cannot be produced.
constexpr uint64_t kMaxInflateRatio = 1032;

class StreamCloser {
 public:
  explicit StreamCloser(DataFileStream* stream) : stream_(stream) {}
  ~StreamCloser() { CloseDataFile(stream_); }
  StreamCloser(const StreamCloser&) = delete;
  StreamCloser& operator=(const StreamCloser&) = delete;

 private:
  DataFileStream* stream_;
};

struct EntryFields {
  uint8_t compression;
  uint32_t size;
  uint32_t stored_size;
  uint64_t data_offset;
  uint32_t data_hash;
};

int32_t Damaged(const PackFileRecord& pack, const char* name) {
  ReportError(104100, true, pack.shown_path, name);
  return -2;
}

int32_t LoadStored(DataFileStream* stream, const PackFileRecord& pack, const EntryFields& entry,
                   uint8_t* out, const char* name) {
  if (!ReadFileBytes(stream, out, entry.size)) return Damaged(pack, name);
  if (CheckAndRepairData(stream, out, entry.size, entry.data_hash) < 0) return Damaged(pack, name);
  return 0;
}

int32_t LoadZlib(DataFileStream* stream, const PackFileRecord& pack, const EntryFields& entry,
                 uint8_t* out, const char* name) {
  auto* stored = static_cast<uint8_t*>(AllocZeroed(entry.stored_size));
  if (stored == nullptr) {
    ReportError(104030, true, name);
    return -3;
  }
  struct Freer {
    uint8_t* block;
    ~Freer() { FreeBlock(block); }
  } freer{stored};
  if (!ReadFileBytes(stream, stored, entry.stored_size)) return Damaged(pack, name);

  uLongf produced = entry.size;
  int rc = uncompress(out, &produced, stored, entry.stored_size);
  if (rc == Z_DATA_ERROR || rc == Z_BUF_ERROR) {
    // The stream stands behind the stored bytes, at their repair block.
    const int32_t check = CheckAndRepairData(stream, stored, entry.stored_size, entry.data_hash);
    if (check < 0) return Damaged(pack, name);
    // Intact bytes that overflow the declared size are not damage: the size is too small.
    if (check == 1 || rc == Z_DATA_ERROR) {
      produced = entry.size;
      rc = uncompress(out, &produced, stored, entry.stored_size);
    }
  }
  switch (rc) {
    case Z_OK:
      // A stream that ends early would leave part of the buffer unwritten.
      return produced == entry.size ? 0 : Damaged(pack, name);
    case Z_DATA_ERROR:
      return Damaged(pack, name);
    case Z_BUF_ERROR:
      ReportError(900040, true, name);
      return -2;
    default:
      ReportError(106010, true, name);
      return -2;
  }
}

}  // namespace

int32_t FindPackEntry(ResourceLocator* locator, const char* name) {
  if (!g_packs.mounted) return 0;
  char plain[256];
  const size_t length = strnlen(name, sizeof plain);
  if (length >= sizeof plain) return 0;  // longer than any stored name
  std::memcpy(plain, name, length + 1);
  LowercaseAsciiDbcs(plain);
  SlashToBackslash(plain);
  const int64_t slot = FindInPackIndex(g_packs.index, std::string_view(plain, length));
  if (slot < 0) return 0;
  const auto i = static_cast<size_t>(slot);
  locator->source = kSourcePack;
  locator->type = g_packs.index.types[i];
  locator->pack_number = g_packs.index.packs[i];
  locator->position = int64_t{g_packs.index.positions[i]} + 1 + g_packs.index.name_lengths[i] + 1;
  locator->pack_index_position = static_cast<int32_t>(slot);
  return kSourcePack;
}

int32_t LoadPackEntry(ResourceLocator* locator, const char* name) {
  const int32_t number = locator->pack_number;
  if (!g_packs.mounted || number < 0 || static_cast<size_t>(number) >= g_packs.packs.size()) {
    ReportError(901040, true, name);
    return -3;
  }
  const PackFileRecord& pack = g_packs.packs[static_cast<size_t>(number)];
  DataFileStream stream;
  if (!OpenDataFile(&stream, pack.path)) {
    ReportError(901040, true, pack.shown_path);
    return -3;
  }
  StreamCloser closer(&stream);

  // The rest of the directory entry, which must lie inside the directory read at mount.
  const int64_t position = locator->position;
  uint8_t tail[kPackEntryTailSize];
  if (position < static_cast<int64_t>(kPackHeaderSize) ||
      static_cast<uint64_t>(position) > pack.directory_end ||
      pack.directory_end - static_cast<uint64_t>(position) < kPackEntryTailSize ||
      !SeekStreamTo(&stream, static_cast<uint64_t>(position)) ||
      !ReadFileBytes(&stream, tail, sizeof tail)) {
    return Damaged(pack, name);
  }
  EntryFields entry;
  entry.compression = tail[0];
  entry.size = LoadU32(tail + 1);
  entry.stored_size = LoadU32(tail + 5);
  entry.data_offset = LoadU64(tail + 9);
  entry.data_hash = LoadU32(tail + 17);

  if (entry.compression != kPackStored && entry.compression != kPackZlib) {
    ReportError(901040, true, pack.shown_path);
    return -3;
  }
  const uint64_t length = StreamLength(stream);
  if (entry.data_offset > length || entry.stored_size > length - entry.data_offset ||
      (entry.compression == kPackStored && entry.size != entry.stored_size) ||
      (entry.compression == kPackZlib &&
       entry.size > uint64_t{entry.stored_size} * kMaxInflateRatio)) {
    return Damaged(pack, name);
  }

  auto* out = static_cast<uint8_t*>(AllocZeroed(entry.size));
  if (out == nullptr) {
    ReportError(104030, true, name);
    return -3;
  }
  int32_t result = -2;
  if (!SeekStreamTo(&stream, entry.data_offset)) {
    result = Damaged(pack, name);
  } else if (entry.compression == kPackStored) {
    result = LoadStored(&stream, pack, entry, out, name);
  } else {
    result = LoadZlib(&stream, pack, entry, out, name);
  }
  if (result != 0) {
    FreeBlock(out);
    return result;
  }
  locator->data = out;
  locator->size = entry.size;
  return 0;
}

}  // namespace korvel
