// Building, resolving and searching the pack index.
#include "resource/pack_index.h"

#include <algorithm>
#include <unordered_map>

#include "core/murmur_hash.h"
#include "core/shift_jis.h"
#include "resource/resource_locator.h"

namespace korvel {

namespace {

constexpr std::string_view kProjectConfigEntry = "krbin\\krcfg.kbn";

struct AddContext {
  PackIndex* index;
  int32_t pack;
};

bool AddEntry(void* context, const PackDirectoryEntry& entry) {
  auto* c = static_cast<AddContext*>(context);
  PackIndex* index = c->index;
  index->hashes.push_back(entry.hash);
  index->packs.push_back(c->pack);
  index->positions.push_back(entry.length_position);
  index->name_offsets.push_back(static_cast<uint32_t>(index->names.size()));
  index->name_lengths.push_back(static_cast<uint8_t>(entry.name_length));
  index->types.push_back(entry.type);
  const std::string_view name(entry.name, entry.name_length);
  index->names.append(name);
  if (NamesEqualNoCase(name, kProjectConfigEntry)) index->data_is_packed = 1;
  return true;
}

// Key of "same hash and same name without regard to case": the hash's bytes, then the name with
// ASCII letters lower-cased outside double-byte characters (as NamesEqualNoCase compares).
std::string NameKey(uint32_t hash, std::string_view name) {
  std::string key(4 + name.size(), '\0');
  for (int i = 0; i < 4; ++i) key[static_cast<size_t>(i)] = static_cast<char>(hash >> (8 * i));
  for (size_t i = 0; i < name.size();) {
    const size_t n = SjisCharLength(name.data(), i, name.size());
    for (size_t j = 0; j < n; ++j) {
      char ch = name[i + j];
      if (n == 1 && ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
      key[4 + i + j] = ch;
    }
    i += n;
  }
  return key;
}

// Sorts slot numbers by (hash, slot).
std::vector<uint64_t> SortedKeys(const std::vector<uint32_t>& hashes) {
  std::vector<uint64_t> keys(hashes.size());
  for (size_t i = 0; i < hashes.size(); ++i) keys[i] = (uint64_t{hashes[i]} << 32) | i;
  std::sort(keys.begin(), keys.end());
  return keys;
}

template <typename T>
void Permute(std::vector<T>* values, const std::vector<uint64_t>& keys) {
  std::vector<T> sorted(values->size());
  for (size_t i = 0; i < keys.size(); ++i) sorted[i] = (*values)[keys[i] & 0xFFFFFFFFu];
  values->swap(sorted);
}

}  // namespace

void ClearPackIndex(PackIndex* index) { *index = PackIndex{}; }

PackDirectoryResult AddPackDirectory(PackIndex* index, int32_t pack, const uint8_t* directory,
                                     size_t size, uint32_t count) {
  AddContext context{index, pack};
  return ParsePackDirectory(directory, size, count, AddEntry, &context);
}

std::string_view PackIndexName(const PackIndex& index, size_t slot) {
  return std::string_view(index.names).substr(index.name_offsets[slot], index.name_lengths[slot]);
}

bool FinishPackIndex(PackIndex* index, const std::vector<uint8_t>& pack_is_update,
                     std::string* duplicate_name) {
  const size_t n = index->hashes.size();
  std::vector<uint32_t>& hashes = index->hashes;

  // Only entries whose hash another entry shares, and entries of hash 0 or 1 (where disabled
  // entries go), can ever be compared with another; every other entry is left alone.
  std::vector<uint8_t> involved(n, 0);
  bool any = false;
  {
    const std::vector<uint64_t> keys = SortedKeys(hashes);
    for (size_t i = 0; i < n;) {
      size_t j = i + 1;
      while (j < n && (keys[j] >> 32) == (keys[i] >> 32)) ++j;
      const uint32_t hash = static_cast<uint32_t>(keys[i] >> 32);
      if (j - i > 1 || hash <= 1) {
        for (size_t k = i; k < j; ++k) involved[keys[k] & 0xFFFFFFFFu] = 1;
        any = true;
      }
      i = j;
    }
  }

  if (any) {
    // In mount order: the older entries of each (current hash, name), in index order, and how many
    // older entries hold each current hash.
    std::unordered_map<std::string, std::vector<uint32_t>> by_name;
    std::unordered_map<uint32_t, size_t> by_hash;
    for (size_t e = 0; e < n; ++e) {
      if (involved[e] == 0) continue;
      const uint32_t hash = hashes[e];
      const std::string_view name = PackIndexName(*index, e);
      auto count = by_hash.find(hash);
      if (count != by_hash.end() && count->second > 0) index->duplicate = 1;
      std::string key = NameKey(hash, name);
      auto older = by_name.find(key);
      if (older != by_name.end() && !older->second.empty()) {
        const auto pack = static_cast<size_t>(index->packs[e]);
        if (pack >= pack_is_update.size() || pack_is_update[pack] == 0) {
          duplicate_name->assign(name);
          return false;
        }
        // Each older entry of the name is disabled: its hash moves off the name's hash.
        const uint32_t moved_to = hash != 0 ? 0 : 1;
        std::vector<uint32_t> moved = std::move(older->second);
        by_name.erase(older);
        for (const uint32_t slot : moved) hashes[slot] = moved_to;
        by_hash[hash] -= moved.size();
        by_hash[moved_to] += moved.size();
        std::vector<uint32_t>& target = by_name[NameKey(moved_to, name)];
        std::vector<uint32_t> merged;
        merged.reserve(target.size() + moved.size());
        std::merge(target.begin(), target.end(), moved.begin(), moved.end(),
                   std::back_inserter(merged));
        target.swap(merged);
      }
      by_name[std::move(key)].push_back(static_cast<uint32_t>(e));
      ++by_hash[hash];
    }
  }

  const std::vector<uint64_t> keys = SortedKeys(hashes);
  Permute(&index->hashes, keys);
  Permute(&index->packs, keys);
  Permute(&index->positions, keys);
  Permute(&index->name_offsets, keys);
  Permute(&index->name_lengths, keys);
  Permute(&index->types, keys);
  return true;
}

int64_t FindInPackIndex(const PackIndex& index, std::string_view name) {
  const uint32_t hash = MurmurHash2(name.data(), name.size());
  auto it = std::lower_bound(index.hashes.begin(), index.hashes.end(), hash);
  for (; it != index.hashes.end() && *it == hash; ++it) {
    const auto slot = static_cast<size_t>(it - index.hashes.begin());
    if (NamesEqualNoCase(PackIndexName(index, slot), name)) return static_cast<int64_t>(slot);
  }
  return -1;
}

}  // namespace korvel
