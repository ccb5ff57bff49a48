// The index against the plain algorithm it replaces: every new entry compared with every older
// entry of equal hash, in mount order (update packs disable, other packs fail), then a linear
// search. Random mounts with forced hash collisions, hashes 0 and 1, and names that differ only in
// letter case must give the same outcome, hashes, duplicate flag and lookups.
#include "resource/pack_index.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "core/murmur_hash.h"
#include "core/shift_jis.h"
#include "pack_test_builder.h"
#include "resource/resource_locator.h"

namespace korvel {
namespace {

using pack_test::BuildRawPack;
using pack_test::RawEntry;
using pack_test::RawPack;

struct Entry {
  int32_t pack;
  uint32_t hash;
  std::string name;
};

struct Outcome {
  bool ok = true;
  std::string duplicate_name;
  uint8_t duplicate_flag = 0;
  std::vector<uint32_t> hashes;  // by mount order
};

Outcome Reference(const std::vector<Entry>& entries, const std::vector<uint8_t>& is_update) {
  Outcome out;
  for (const Entry& e : entries) out.hashes.push_back(e.hash);
  for (size_t e = 0; e < entries.size(); ++e) {
    for (size_t c = 0; c < e; ++c) {
      if (out.hashes[c] != out.hashes[e]) continue;
      out.duplicate_flag = 1;
      if (!NamesEqualNoCase(entries[c].name, entries[e].name)) continue;
      if (is_update[static_cast<size_t>(entries[e].pack)] == 0) {
        out.ok = false;
        out.duplicate_name = entries[e].name;
        return out;
      }
      out.hashes[c] = out.hashes[c] != 0 ? 0 : 1;
    }
  }
  return out;
}

std::string Lower(std::string s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = SjisCharLength(s.data(), i, s.size());
    if (n == 1 && s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<char>(s[i] - 'A' + 'a');
    i += n;
  }
  return s;
}

TEST(PackIndexTest, SameResultsAsComparingEveryOlderEntry) {
  const std::vector<std::string> pool = {"a",         "A",         "b",  "c\x83\x41",
                                         "C\x83\x41", "c\x83\x61", "dd", "krbin\\krcfg.kbn"};
  std::mt19937 random(1234);
  int failures_seen = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    SCOPED_TRACE(trial);
    const int pack_count = 1 + static_cast<int>(random() % 4);
    std::vector<uint8_t> is_update;
    std::vector<Entry> entries;
    PackIndex index;
    for (int p = 0; p < pack_count; ++p) {
      // Ordinary packs come first, as the mount registers them.
      const bool update = p > 0 && (random() % 3 != 0);
      if (!is_update.empty() && is_update.back() != 0 && !update) break;
      is_update.push_back(update ? 1 : 0);
      RawPack pack;
      const int count = static_cast<int>(random() % 8);
      for (int i = 0; i < count; ++i) {
        RawEntry entry;
        entry.name = pool[random() % pool.size()];
        entry.repair = false;
        static constexpr uint32_t kForced[] = {0, 1, 2, 7};
        if (random() % 2 == 0) entry.name_hash = kForced[random() % 4];
        const uint32_t hash =
            entry.name_hash ? *entry.name_hash : MurmurHash2(entry.name.data(), entry.name.size());
        entries.push_back({p, hash, entry.name});
        pack.entries.push_back(entry);
      }
      const std::string bytes = BuildRawPack(pack);
      const uint32_t directory_size =
          LoadU32(reinterpret_cast<const uint8_t*>(bytes.data()) + 12);
      ASSERT_EQ(AddPackDirectory(&index, p, reinterpret_cast<const uint8_t*>(bytes.data()) + 32,
                                 directory_size, static_cast<uint32_t>(count)),
                PackDirectoryResult::kOk);
    }
    // Mount order of each slot, found by (pack, position).
    std::map<std::pair<int32_t, uint32_t>, size_t> order;
    for (size_t i = 0; i < index.hashes.size(); ++i)
      order[{index.packs[i], index.positions[i]}] = i;

    const Outcome expected = Reference(entries, is_update);
    std::string duplicate;
    const bool ok = FinishPackIndex(&index, is_update, &duplicate);
    ASSERT_EQ(ok, expected.ok);
    if (!ok) {
      EXPECT_EQ(duplicate, expected.duplicate_name);
      ++failures_seen;
      continue;
    }
    EXPECT_EQ(index.duplicate, expected.duplicate_flag);
    ASSERT_EQ(index.hashes.size(), entries.size());
    for (size_t i = 0; i < index.hashes.size(); ++i) {
      if (i > 0) {
        ASSERT_LE(index.hashes[i - 1], index.hashes[i]);
      }
      const size_t seq = order[{index.packs[i], index.positions[i]}];
      EXPECT_EQ(index.hashes[i], expected.hashes[seq]) << "entry " << seq;
      EXPECT_EQ(PackIndexName(index, i), entries[seq].name);
    }
    for (const std::string& query : pool) {
      const std::string lowered = Lower(query);
      const uint32_t hash = MurmurHash2(lowered.data(), lowered.size());
      std::vector<size_t> matches;
      for (size_t e = 0; e < entries.size(); ++e) {
        if (expected.hashes[e] == hash && NamesEqualNoCase(entries[e].name, lowered)) {
          matches.push_back(e);
        }
      }
      const int64_t slot = FindInPackIndex(index, lowered);
      if (matches.empty()) {
        EXPECT_EQ(slot, -1) << query;
        continue;
      }
      ASSERT_GE(slot, 0) << query;
      const size_t seq = order[{index.packs[static_cast<size_t>(slot)],
                                index.positions[static_cast<size_t>(slot)]}];
      EXPECT_NE(std::find(matches.begin(), matches.end(), seq), matches.end()) << query;
    }
  }
  EXPECT_GT(failures_seen, 100);  // both outcomes were exercised
}

TEST(PackIndexTest, TruncatedDirectoriesKeepWhatWasRead) {
  RawPack pack;
  pack.entries.push_back(RawEntry{.name = "first", .data = "1"});
  pack.entries.push_back(RawEntry{.name = "second", .data = "2"});
  const std::string bytes = BuildRawPack(pack);
  const auto* directory = reinterpret_cast<const uint8_t*>(bytes.data()) + 32;
  const size_t full = 27 + 5 + 27 + 6;
  for (size_t size = 0; size < full; ++size) {
    PackIndex index;
    EXPECT_EQ(AddPackDirectory(&index, 0, directory, size, 2), PackDirectoryResult::kTruncated)
        << size;
    EXPECT_EQ(index.hashes.size(), size >= 27 + 5 ? 1u : 0u);
  }
  PackIndex index;
  EXPECT_EQ(AddPackDirectory(&index, 0, directory, full, 2), PackDirectoryResult::kOk);
  EXPECT_EQ(AddPackDirectory(&index, 1, directory, full + 10, 2), PackDirectoryResult::kOk);
}

}  // namespace
}  // namespace korvel
