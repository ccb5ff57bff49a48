// Repair from XOR parity: every block whose CRC check fails has the bytes where the parity and the
// XOR of all blocks disagree rebuilt from the parity and the other blocks.
#include "resource/pack_repair.h"

#include <vector>

#include "core/murmur_hash.h"
#include "resource/pack_crc32.h"
#include "resource/pack_format.h"

namespace korvel {

int32_t CheckAndRepairData(DataFileStream* stream, uint8_t* data, size_t size,
                           uint32_t expected_hash) {
  if (MurmurHash2(data, size) == expected_hash) return 0;

  uint32_t parity_length = 0;
  uint32_t block_count = 0;
  if (!ReadFileDword(stream, &parity_length) || !ReadFileDword(stream, &block_count)) return -1;
  if (parity_length != kPackRepairBlockSize || block_count != PackRepairBlockCount(size)) return -1;

  std::vector<uint8_t> checks(size_t{block_count} * 2);
  uint8_t parity[kPackRepairBlockSize];
  if (!ReadFileBytes(stream, checks.data(), checks.size()) ||
      !ReadFileBytes(stream, parity, sizeof parity)) {
    return -1;
  }

  // work = XOR of all blocks as they are; bytes past the end of the data count as zero.
  uint8_t work[kPackRepairBlockSize] = {};
  for (size_t at = 0; at < size; at += kPackRepairBlockSize) {
    const size_t n = size - at < kPackRepairBlockSize ? size - at : kPackRepairBlockSize;
    for (size_t j = 0; j < n; ++j) work[j] ^= data[at + j];
  }

  for (uint32_t block = 0; block < block_count; ++block) {
    const size_t at = size_t{block} * kPackRepairBlockSize;
    const size_t n = size - at < kPackRepairBlockSize ? size - at : kPackRepairBlockSize;
    const uint16_t check =
        static_cast<uint16_t>(checks[size_t{block} * 2] | (checks[size_t{block} * 2 + 1] << 8));
    if ((Crc32(data + at, n) & 0xFFFFu) == check) continue;
    for (size_t j = 0; j < n; ++j) {
      if (parity[j] == work[j]) continue;
      // parity XOR every other block's current byte; work keeps the XOR of the current contents.
      const uint8_t rebuilt = static_cast<uint8_t>(parity[j] ^ work[j] ^ data[at + j]);
      work[j] = static_cast<uint8_t>(work[j] ^ data[at + j] ^ rebuilt);
      data[at + j] = rebuilt;
    }
  }
  return MurmurHash2(data, size) == expected_hash ? 1 : -1;
}

}  // namespace korvel
