// Fuzz target: pack headers and directories from memory, resolved into one index as the mount
// does (update packs disabling older entries, duplicates refused), then searched by every name.
// Input: one byte (bits 0-1: pack count - 1, bits 2-4: which packs are update packs), then per
// pack a 16-bit little-endian length and that many bytes of pack.
#include "resource/pack_directory.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/shift_jis.h"
#include "resource/pack_format.h"
#include "resource/pack_index.h"
#include "resource/resource_locator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  if (size < 1) return 0;
  const int pack_count = (data[0] & 3) + 1;
  const int update_bits = data[0] >> 2;
  size_t at = 1;
  PackIndex index;
  std::vector<uint8_t> is_update;
  for (int p = 0; p < pack_count && size - at >= 2; ++p) {
    size_t length = static_cast<size_t>(data[at]) | (static_cast<size_t>(data[at + 1]) << 8);
    at += 2;
    if (length > size - at) length = size - at;
    const uint8_t* pack = data + at;
    at += length;
    PackHeaderFields header;
    if (!ParsePackHeader(pack, length, &header) || length < kPackHeaderSize) continue;
    const size_t directory = std::min<size_t>(length - kPackHeaderSize, header.directory_size);
    const auto number = static_cast<int32_t>(is_update.size());
    is_update.push_back(((update_bits >> p) & 1) != 0 && p > 0 ? 1 : 0);
    AddPackDirectory(&index, number, pack + kPackHeaderSize, directory, header.entry_count);
  }
  std::vector<std::string> names;
  for (size_t i = 0; i < index.hashes.size(); ++i) names.emplace_back(PackIndexName(index, i));
  std::string duplicate;
  if (!FinishPackIndex(&index, is_update, &duplicate)) return 0;
  for (size_t i = 1; i < index.hashes.size(); ++i) {
    if (index.hashes[i - 1] > index.hashes[i]) std::abort();  // not sorted
  }
  for (std::string name : names) {
    name.push_back('\0');
    LowercaseAsciiDbcs(name.data());
    name.pop_back();
    const int64_t slot = FindInPackIndex(index, name);
    if (slot >= 0 && !NamesEqualNoCase(PackIndexName(index, static_cast<size_t>(slot)), name)) {
      std::abort();  // found another name
    }
  }
  return 0;
}
