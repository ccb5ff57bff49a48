// The index of every mounted pack entry: built pack by pack in mount order, resolved (update packs
// disable older entries of the same name; other repeats are duplicates) and sorted by name hash.
// The names stay in memory, so a lookup is a binary search and never reads a pack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "resource/pack_directory.h"

namespace korvel {

struct PackIndex {
  // Parallel arrays, one slot per entry; after FinishPackIndex sorted by hash (ascending,
  // unsigned), entries of equal hash in mount order.
  std::vector<uint32_t> hashes;  // name hash; a disabled entry's was changed (0 → 1, else → 0)
  std::vector<int32_t> packs;    // pack number
  std::vector<uint32_t> positions;     // of the entry's length code, from the start of its pack
  std::vector<uint32_t> name_offsets;  // into `names`
  std::vector<uint8_t> name_lengths;
  std::vector<uint8_t> types;
  std::string names;           // every plain name, back to back
  uint8_t duplicate = 0;       // two entries shared a hash
  uint8_t data_is_packed = 0;  // an entry named krbin\krcfg.kbn was mounted
};

void ClearPackIndex(PackIndex* index);

// Appends the entries of one pack (its directory bytes and entry count). kTruncated when an entry
// does not fit in the bytes left; the index then holds the entries read so far.
PackDirectoryResult AddPackDirectory(PackIndex* index, int32_t pack, const uint8_t* directory,
                                     size_t size, uint32_t count);

// Resolves repeated names in mount order, as comparing each new entry with every older entry of
// equal hash would: a repeat whose pack is an update pack (`pack_is_update[pack]` non-zero)
// disables the older entries; any other repeat is a duplicate, and FinishPackIndex returns false
// with its name. Then sorts the index. Runs in O(n log n).
bool FinishPackIndex(PackIndex* index, const std::vector<uint8_t>& pack_is_update,
                     std::string* duplicate_name);

// The index slot of the entry named `name` (compared without regard to case), or -1. The name is
// hashed as given: the caller lower-cases it, as stored names are.
int64_t FindInPackIndex(const PackIndex& index, std::string_view name);

std::string_view PackIndexName(const PackIndex& index, size_t slot);

}  // namespace korvel
