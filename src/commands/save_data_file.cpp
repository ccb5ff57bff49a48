// Save blocks and save files: checked layout first, then one pass through the file writer.
#include "commands/save_data_file.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/save_blocks.h"
#include "layer/layer_block_codec.h"
#include "platform/file_system.h"
#include "platform/file_writer.h"
#include "platform/read_only_file.h"
#include "core/byte_reader.h"
#include "core/byte_writer.h"
#include "script/save_format.h"

namespace korvel {

namespace {

// Feeds `count` bytes (or zeros when `data` is null) into the stream; false on a zlib failure.
bool DeflateBytes(z_stream* zs, const uint8_t* data, uint64_t count, int* status) {
  static const uint8_t kZeros[65536] = {};
  while (count > 0) {
    const uint64_t chunk = std::min<uint64_t>(count, data != nullptr ? (1u << 30) : sizeof kZeros);
    zs->next_in = const_cast<Bytef*>(data != nullptr ? data : kZeros);
    zs->avail_in = static_cast<uInt>(chunk);
    while (zs->avail_in > 0) {
      *status = deflate(zs, Z_NO_FLUSH);
      if (*status != Z_OK && *status != Z_BUF_ERROR) return false;
      if (*status == Z_BUF_ERROR && zs->avail_out == 0) return false;
    }
    if (data != nullptr) data += chunk;
    count -= chunk;
  }
  return true;
}

// Compresses the pieces of one raw entry behind a block head and makes it slot `slot`'s pending
// block. `pixels` may be null for `pixel_count` zero bytes.
int32_t StoreBlock(uint32_t slot, uint8_t kind, const uint8_t* head, uint64_t head_size,
                   const uint8_t* pixels, uint64_t pixel_count) {
  const uint64_t raw_size = head_size + pixel_count;
  if (raw_size > UINT32_MAX) return kSaveBlockTooLarge;
  z_stream zs{};
  int status = deflateInit(&zs, 1);
  if (status != Z_OK) return status == Z_MEM_ERROR ? kSaveBlockNoMemory : kSaveBlockFailed;
  const uint64_t bound = deflateBound(&zs, static_cast<uLong>(raw_size));
  if (kSaveBlockHeadSize + bound > UINT32_MAX) {
    deflateEnd(&zs);
    return kSaveBlockTooLarge;
  }
  auto* block = static_cast<uint8_t*>(std::malloc(kSaveBlockHeadSize + bound));
  if (block == nullptr) {
    deflateEnd(&zs);
    return kSaveBlockNoMemory;
  }
  zs.next_out = block + kSaveBlockHeadSize;
  zs.avail_out = static_cast<uInt>(bound);
  bool ok = DeflateBytes(&zs, head, head_size, &status) &&
            DeflateBytes(&zs, pixels, pixel_count, &status);
  if (ok) {
    do {
      status = deflate(&zs, Z_FINISH);
    } while (status == Z_OK);
    ok = status == Z_STREAM_END;
  }
  const uint64_t compressed = zs.total_out;
  deflateEnd(&zs);
  if (!ok) {
    std::free(block);
    return status == Z_MEM_ERROR ? kSaveBlockNoMemory : kSaveBlockFailed;
  }
  block[0] = kind;
  block[1] = 1;
  block[2] = 0;
  block[3] = 0;
  StoreU32(block + 4, static_cast<uint32_t>(compressed));
  StoreU32(block + 8, static_cast<uint32_t>(raw_size));
  const size_t size = kSaveBlockHeadSize + static_cast<size_t>(compressed);
  // Give back the unused room (a layer's bound is as large as its pixels).
  if (auto* shrunk = static_cast<uint8_t*>(std::realloc(block, size))) block = shrunk;
  FreeIdBuffers(static_cast<int32_t>(slot - 1));
  g_save_blocks.blocks[slot - 1] = block;
  g_save_blocks.sizes[slot - 1] = static_cast<uint32_t>(size);
  return 0;
}

// One block of the new file: copied from the old file or taken from the pending table.
struct PlannedBlock {
  uint32_t slot;
  uint64_t old_offset;  // where the old block lies (copy), unused for a pending one
  uint64_t size;        // bytes in the file, slot word included
  bool pending;
};

struct OldFile {
  platform::ReadOnlyFile file;
  uint8_t header[kSaveHeaderSize];
  std::vector<PlannedBlock> blocks;  // in file order
};

// Reads and checks an existing file: header, table and a walk over every block.
int32_t CheckOldFile(OldFile* old) {
  const uint64_t size = old->file.size;
  if (size < 8 || platform::ReadFileAt(old->file, 0, old->header, 8) != platform::FileStatus::kOk ||
      std::memcmp(old->header, kSaveMagic, 4) != 0) {
    return kErrSaveMagic;
  }
  if (LoadU32(old->header + 4) != kSaveVersion) return kErrSaveVersion;
  if (size < kSaveHeaderSize ||
      platform::ReadFileAt(old->file, 0, old->header, kSaveHeaderSize) != platform::FileStatus::kOk) {
    return kErrSaveMagic;
  }
  std::vector<uint64_t> walked(kSaveSlotCount + 1, 0);
  uint64_t offset = kSaveHeaderSize;
  while (offset < size) {
    uint8_t head[kSaveBlockOverhead];
    if (size - offset < kSaveBlockOverhead ||
        platform::ReadFileAt(old->file, offset, head, sizeof head) != platform::FileStatus::kOk) {
      return kErrSaveMagic;
    }
    const uint32_t slot = LoadU32(head);
    const uint64_t compressed = LoadU32(head + 8);
    if (slot < 1 || slot > kSaveSlotCount || walked[slot] != 0 ||
        compressed > size - offset - kSaveBlockOverhead) {
      return kErrSaveMagic;
    }
    walked[slot] = offset;
    old->blocks.push_back(PlannedBlock{slot, offset, kSaveBlockOverhead + compressed, false});
    offset += kSaveBlockOverhead + compressed;
  }
  for (uint32_t s = 1; s <= kSaveSlotCount; ++s) {
    if (LoadU32(old->header + kSaveTableOffset + 4 * (s - 1)) != walked[s]) return kErrSaveMagic;
  }
  return 0;
}

bool CopyFileRange(const platform::ReadOnlyFile& from, uint64_t offset, uint64_t count,
                   platform::FileWriter* to, std::vector<uint8_t>* buffer) {
  while (count > 0) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(count, buffer->size()));
    if (platform::ReadFileAt(from, offset, buffer->data(), chunk) != platform::FileStatus::kOk) {
      if (to->error == 0) to->error = EIO;
      return false;
    }
    if (!platform::WriteFileBytes(to, buffer->data(), chunk)) return false;
    offset += chunk;
    count -= chunk;
  }
  return true;
}

}  // namespace

int32_t BuildVariableSaveBlock(uint32_t slot, const VariableRecord& var, bool whole,
                               int64_t element) {
  if (slot < 1 || slot > kSaveSlotCount) return kSaveBlockFailed;
  std::vector<uint8_t> raw;
  const int32_t status = EncodeVariablePayload(var, whole, element, &raw);
  if (status != 0) return status == kErrSaveDataTooLarge ? kSaveBlockTooLarge : kSaveBlockFailed;
  return StoreBlock(slot, kSaveKindVariable, raw.data(), raw.size(), nullptr, 0);
}

int32_t BuildLayerSaveBlock(uint32_t slot, const LayerData& layer) {
  if (slot < 1 || slot > kSaveSlotCount) return kSaveBlockFailed;
  // A layer the loader would refuse is not saved.
  if (layer.width < 1 || layer.width > 8192 || layer.height < 1 || layer.height > 8192) {
    return kSaveBlockTooLarge;
  }
  const uint64_t pixel_bytes = uint64_t(layer.width) * 4 * uint64_t(layer.height);
  uint8_t head[kSavedLayerHead];
  StoreU32(head, kSavedLayerRecordSize);
  StoreU32(head + 4, static_cast<uint32_t>(pixel_bytes));
  EncodeLayerBlock(layer, head + 8);
  return StoreBlock(slot, kSaveKindLayer, head, sizeof head, layer.pixels, pixel_bytes);
}

namespace {

// Finds the file a save replaces and checks it, or makes the folder a new file goes into.
// `exists` tells which; 0, or the result's code and error number.
int32_t OpenSaveTarget(const std::string& folder, const std::string& file_name, OldFile* old,
                       bool* exists, SaveWriteResult* result) {
  std::string real;
  bool is_folder = false;
  const platform::FileStatus found = platform::ResolvePath(folder, file_name, &real, &is_folder);
  *exists = false;
  if (found == platform::FileStatus::kNotFound) {
    result->error = platform::CreateFolderPath(folder);
    return result->error != 0 ? kErrSaveOpen : 0;
  }
  if (found != platform::FileStatus::kOk) {
    result->error = found == platform::FileStatus::kRefused ? EACCES : EIO;
    return kErrSaveOpen;
  }
  if (is_folder) {
    result->error = EISDIR;
    return kErrSaveOpen;
  }
  *exists = true;
  result->path = real;
  if (platform::OpenReadOnlyFile(real, &old->file) != platform::FileStatus::kOk) {
    result->error = EACCES;
    return kErrSaveOpen;
  }
  return CheckOldFile(old);
}

// The new file's layout: old blocks in their order (a pending slot takes its place), then the
// pending slots the file did not hold, ascending. `appended` counts those.
std::vector<PlannedBlock> PlanSaveBlocks(const OldFile& old, uint32_t* appended) {
  std::vector<PlannedBlock> plan = old.blocks;
  std::vector<bool> placed(kSaveSlotCount + 1, false);
  for (PlannedBlock& b : plan) {
    placed[b.slot] = true;
    if (g_save_blocks.sizes[b.slot - 1] != 0) {
      b.pending = true;
      b.size = 4 + uint64_t{g_save_blocks.sizes[b.slot - 1]};
    }
  }
  *appended = 0;
  for (uint32_t s = 1; s <= kSaveSlotCount; ++s) {
    if (g_save_blocks.sizes[s - 1] == 0 || placed[s]) continue;
    plan.push_back(PlannedBlock{s, 0, 4 + uint64_t{g_save_blocks.sizes[s - 1]}, true});
    ++*appended;
  }
  return plan;
}

// The header with its slot table for `plan`; false when a block would start past 4 GiB, where
// the table cannot point.
bool BuildSaveHeader(const std::vector<PlannedBlock>& plan, uint32_t block_count,
                     uint8_t (&header)[kSaveHeaderSize]) {
  std::memset(header, 0, sizeof header);
  std::memcpy(header, kSaveMagic, 4);
  StoreU32(header + 4, kSaveVersion);
  StoreU32(header + 8, block_count);
  StoreU32(header + 12, kSaveSlotCount);
  uint64_t offset = kSaveHeaderSize;
  for (const PlannedBlock& b : plan) {
    if (offset > UINT32_MAX) return false;
    StoreU32(header + kSaveTableOffset + 4 * (b.slot - 1), static_cast<uint32_t>(offset));
    offset += b.size;
  }
  return true;
}

// Writes the header and every planned block through a temporary file renamed into place.
bool WriteSaveBlocks(const std::string& folder, const std::string& leaf, const uint8_t* header,
                     const std::vector<PlannedBlock>& plan, OldFile* old, int* error) {
  platform::FileWriter writer;
  std::vector<uint8_t> buffer(1 << 20);
  bool ok = platform::BeginFileWrite(folder, leaf, &writer) &&
            platform::WriteFileBytes(&writer, header, kSaveHeaderSize);
  for (size_t i = 0; ok && i < plan.size(); ++i) {
    const PlannedBlock& b = plan[i];
    if (b.pending) {
      uint8_t word[4];
      StoreU32(word, b.slot);
      ok = platform::WriteFileBytes(&writer, word, 4) &&
           platform::WriteFileBytes(&writer, g_save_blocks.blocks[b.slot - 1],
                                    g_save_blocks.sizes[b.slot - 1]);
    } else {
      ok = CopyFileRange(old->file, b.old_offset, b.size, &writer, &buffer);
    }
  }
  platform::CloseReadOnlyFile(&old->file);
  if (ok) ok = platform::CommitFileWrite(&writer);
  if (!ok) {
    platform::AbortFileWrite(&writer);
    *error = writer.error != 0 ? writer.error : EIO;
  }
  return ok;
}

}  // namespace

SaveWriteResult WriteSaveFile(const std::string& folder, const std::string& file_name) {
  SaveWriteResult result;
  result.path = folder + "/" + file_name;
  OldFile old;
  bool exists = false;
  result.code = OpenSaveTarget(folder, file_name, &old, &exists, &result);
  if (result.code != 0) return result;

  uint32_t appended = 0;
  const std::vector<PlannedBlock> plan = PlanSaveBlocks(old, &appended);
  uint8_t header[kSaveHeaderSize];
  const uint32_t old_count = exists ? LoadU32(old.header + 8) : 0;
  if (!BuildSaveHeader(plan, old_count + appended, header)) {
    result.code = kErrSaveOpen;
    result.error = EFBIG;
    return result;
  }
  // An existing file is written where it really is (a name may differ from it in case).
  const std::string leaf = exists ? result.path.substr(result.path.rfind('/') + 1) : file_name;
  if (!WriteSaveBlocks(folder, leaf, header, plan, &old, &result.error)) {
    result.code = kErrSaveOpen;
    return result;
  }
  FreeIdBuffers(-1);
  return result;
}

}  // namespace korvel
