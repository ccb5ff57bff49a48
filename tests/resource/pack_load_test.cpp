// Loading pack entries: stored and zlib entries, repair of one damaged block, damage that must be
// reported instead of handed over, zlib failures, bad fields, memory failures, and loads from
// several threads at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "pack_test_fixture.h"
#include "resource/pack_lookup.h"
#include "resource/pack_repair.h"

namespace korvel {
namespace {

using pack_test::BuildRawPack;
using pack_test::LoadResult;
using pack_test::NoiseBytes;
using pack_test::RawEntry;
using pack_test::RawLayout;
using pack_test::RawPack;

class PackLoadTest : public pack_test::PackTest {
 protected:
  // Writes a one-entry pack "data.kpf" and mounts it; returns the pack's bytes.
  std::string MountOne(const RawEntry& entry, RawLayout* layout = nullptr) {
    RawPack pack;
    pack.entries.push_back(entry);
    const std::string bytes = BuildRawPack(pack, layout);
    path_ = WritePack("data.kpf", bytes);
    EXPECT_EQ(Mount(), 0);
    return bytes;
  }
  // FindPackEntry and LoadPackEntry's own result.
  int32_t Direct(const char* name) {
    ResourceLocator locator{};
    if (FindPackEntry(&locator, name) != kSourcePack) return 0;
    const int32_t result = LoadPackEntry(&locator, name);
    FreeLocatorData(&locator);
    return result;
  }
  std::string path_;
};

TEST_F(PackLoadTest, StoredAndZlibEntriesLoadWhole) {
  for (const size_t size : {0u, 1u, 1023u, 1024u, 1025u, 5000u}) {
    for (const uint8_t compression : {kPackStored, kPackZlib}) {
      for (const bool noise : {false, true}) {
        SCOPED_TRACE(testing::Message() << size << " bytes, compression " << int{compression}
                                        << (noise ? ", noise" : ", text"));
        std::string data = noise ? NoiseBytes(size, 9) : std::string(size, 'k');
        MountOne(RawEntry{.name = "e.bin", .data = data, .compression = compression});
        const LoadResult r = Load("e.bin");
        EXPECT_EQ(r.result, kSourcePack);
        EXPECT_EQ(r.error, 0);
        EXPECT_EQ(r.bytes, data);
      }
    }
  }
}

// One damaged byte anywhere in the stored bytes, including the short last block, is repaired:
// stored entries and the compressed bytes of zlib entries.
TEST_F(PackLoadTest, OneDamagedByteInEveryPositionIsRepaired) {
  for (const uint8_t compression : {kPackStored, kPackZlib}) {
    SCOPED_TRACE(int{compression});
    const std::string data = NoiseBytes(2 * 1024 + 300, 3);
    RawLayout layout;
    const std::string pack =
        MountOne(RawEntry{.name = "e.bin", .data = data, .compression = compression}, &layout);
    const uint64_t start = layout.data_offsets[0];
    const uint64_t stored = layout.stored_sizes[0];
    ASSERT_EQ(stored % 1024 != 0, true);
    int failures = 0;
    for (uint64_t at = start; at < start + stored && failures < 5; ++at) {
      FlipByte(path_, at, pack);
      const LoadResult r = Load("e.bin");
      if (r.result != kSourcePack || r.bytes != data || r.error != 0) {
        ADD_FAILURE() << "damage at stored byte " << (at - start) << ": result " << r.result
                      << ", error " << r.error;
        ++failures;
      }
      Patch(path_, at, pack.substr(at, 1));
    }
  }
}

// A repair block is used only when its sizes are exactly 1024 parity bytes and one check per
// 1024-byte block; each block below would mend the damage if its sizes were ignored.
std::string RepairBlockWith(const std::string& data, uint32_t parity_length, uint32_t blocks) {
  const std::string good = pack_test::RepairBlockFor(data);
  const uint32_t real_blocks = static_cast<uint32_t>((data.size() + 1023) / 1024);
  std::string checks = good.substr(8, real_blocks * 2);
  const std::string parity = good.substr(8 + real_blocks * 2);
  checks.resize(blocks * 2, '\0');
  std::string out;
  pack_test::PutU32(&out, parity_length);
  pack_test::PutU32(&out, blocks);
  return out + checks + parity + std::string(parity_length > 1024 ? parity_length - 1024 : 0, '\0');
}

TEST_F(PackLoadTest, DamageTheRepairDataCannotMendIsReported) {
  const std::string data = NoiseBytes(3000, 4);
  const struct {
    const char* label;
    std::vector<uint64_t> damaged;  // stored-byte positions
    bool repair;
    std::optional<std::string> repair_block;
  } cases[] = {
      {"two blocks at the same position", {10, 1024 + 10}, true, std::nullopt},
      {"two blocks at different positions", {10, 2048 + 500}, true, std::nullopt},
      {"no repair data", {100}, false, std::nullopt},
      {"parity of 2048 bytes", {100}, true, RepairBlockWith(data, 2048, 3)},
      {"parity of 512 bytes", {100}, true, RepairBlockWith(data, 512, 3)},
      {"one block count too many", {100}, true, RepairBlockWith(data, 1024, 4)},
      {"one block count too few", {100}, true, RepairBlockWith(data, 1024, 2)},
      {"block count of 2^31",
       {100},
       true,
       RepairBlockWith(data, 1024, 3).replace(4, 4, std::string("\0\0\0\x80", 4))},
      {"repair block cut by the end of the file",
       {100},
       true,
       RepairBlockWith(data, 1024, 3).substr(0, 20)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    RawEntry entry{.name = "e.bin", .data = data, .repair = c.repair};
    entry.repair_block = c.repair_block;
    RawLayout layout;
    const std::string pack = MountOne(entry, &layout);
    for (const uint64_t at : c.damaged) FlipByte(path_, layout.data_offsets[0] + at, pack);
    const LoadResult r = Load("e.bin");
    EXPECT_EQ(r.result, -3);
    EXPECT_EQ(r.error, 104100);
    EXPECT_TRUE(r.bytes.empty());
    EXPECT_EQ(Direct("e.bin"), -2);
  }
  // The same damage with a well-formed block is mended.
  RawLayout layout;
  const std::string pack = MountOne(
      RawEntry{.name = "e.bin", .data = data, .repair_block = RepairBlockWith(data, 1024, 3)},
      &layout);
  FlipByte(path_, layout.data_offsets[0] + 100, pack);
  EXPECT_EQ(Load("e.bin").bytes, data);
}

TEST_F(PackLoadTest, DamagedRepairDataAroundIntactBytesLoads) {
  const std::string data = NoiseBytes(1500, 5);
  RawLayout layout;
  const std::string pack = MountOne(RawEntry{.name = "e.bin", .data = data}, &layout);
  const uint64_t repair = layout.data_offsets[0] + layout.stored_sizes[0];
  for (const uint64_t at : {repair, repair + 4, repair + 8, repair + 12 + 100}) {
    FlipByte(path_, at, pack);
    const LoadResult r = Load("e.bin");
    EXPECT_EQ(r.result, kSourcePack) << at - repair;
    EXPECT_EQ(r.bytes, data);
    Patch(path_, at, pack.substr(at, 1));
  }
}

std::string Damage(std::string bytes, size_t at) {
  bytes[at] = static_cast<char>(bytes[at] ^ 0x21);
  return bytes;
}

TEST_F(PackLoadTest, ZlibFailures) {
  const std::string text(4000, 'z');
  const std::string stream = pack_test::ZlibCompress(text);
  const struct {
    const char* label;
    RawEntry entry;
    int32_t result;
    int32_t error;
  } cases[] = {
      {"invalid stream with its own hash",
       RawEntry{.name = "e",
                .data = text,
                .compression = kPackZlib,
                .stored = std::string("\x78\x9C garbage that is not deflate")},
       -2, 104100},
      {"stream cut short, hash of the cut bytes",
       RawEntry{.name = "e",
                .data = text,
                .compression = kPackZlib,
                .stored = stream.substr(0, stream.size() / 2)},
       -2, 104100},
      {"declared size too small",
       RawEntry{.name = "e", .data = text, .compression = kPackZlib, .size = 3999}, -2, 900040},
      {"declared size too large: short output",
       RawEntry{.name = "e", .data = text, .compression = kPackZlib, .size = 4001}, -2, 104100},
      {"declared size no stream can reach",
       RawEntry{.name = "e", .data = text, .compression = kPackZlib, .size = 0xFFFFFFF0u}, -2,
       104100},
      {"damaged stream without repair data",
       RawEntry{.name = "e",
                .data = text,
                .compression = kPackZlib,
                .repair = false,
                .data_hash = pack_test::Hash(stream),
                .stored = Damage(stream, 5)},
       -2, 104100},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    MountOne(c.entry);
    const LoadResult r = Load("e");
    EXPECT_EQ(r.result, -3);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(Direct("e"), c.result);
  }
}

TEST_F(PackLoadTest, BadDirectoryFieldsAreDamageOrErrors) {
  const std::string data = "0123456789";
  const struct {
    const char* label;
    RawEntry entry;
    int32_t error;
  } cases[] = {
      {"stored size larger than the size", RawEntry{.name = "e", .data = data, .size = 5}, 104100},
      {"stored size smaller than the size", RawEntry{.name = "e", .data = data, .size = 20},
       104100},
      {"stored size larger than the size, hash of the shorter bytes",
       RawEntry{.name = "e", .data = data, .size = 5, .data_hash = pack_test::Hash("01234")},
       104100},
      {"data offset past the end", RawEntry{.name = "e", .data = data, .data_offset = 1u << 20},
       104100},
      {"data offset at the end with bytes to read",
       RawEntry{.name = "e", .data = data, .repair = false, .data_offset = 32 + 28 + 10 + 8 - 4},
       104100},
      {"data offset that wraps",
       RawEntry{.name = "e", .data = data, .data_offset = 0xFFFFFFFFFFFFFFF0ull}, 104100},
      {"stored size past the end", RawEntry{.name = "e", .data = data, .stored_size = 1u << 30},
       104100},
      {"hash of other bytes", RawEntry{.name = "e", .data = data, .data_hash = 1}, 104100},
      {"compression 2", RawEntry{.name = "e", .data = data, .compression = 2}, 901040},
      {"compression 255", RawEntry{.name = "e", .data = data, .compression = 255}, 901040},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    MountOne(c.entry);
    const LoadResult r = Load("e");
    EXPECT_EQ(r.result, -3);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(Direct("e"), c.error == 901040 ? -3 : -2);
  }
}

TEST_F(PackLoadTest, MessagesNameThePackAndTheEntry) {
  MountOne(RawEntry{.name = "bg\\x.png", .data = "abc", .data_hash = 1});
  Load("BG\\X.PNG");
  const ErrorReportSnapshot report = LastErrorReport();
  EXPECT_EQ(report.code, 104100);
  EXPECT_NE(report.message.find("data.kpf"), std::string::npos) << report.message;
  EXPECT_NE(report.message.find("BG\\X.PNG"), std::string::npos) << report.message;
}

TEST_F(PackLoadTest, MemoryFailures) {
  MountOne(RawEntry{.name = "e", .data = std::string(3000, 'm'), .compression = kPackZlib});
  for (const int32_t successes : {0, 1}) {  // the output buffer, then the compressed copy
    SCOPED_TRACE(successes);
    SetAllocFailureForTest(successes);
    const LoadResult r = Load("e");
    ResetAllocFailureForTest();
    EXPECT_EQ(r.result, -3);
    EXPECT_EQ(r.error, 104030);
  }
  EXPECT_EQ(Load("e").bytes, std::string(3000, 'm'));
}

TEST_F(PackLoadTest, PackGoneAfterMounting) {
  MountOne(RawEntry{.name = "e", .data = "x"});
  std::filesystem::remove(path_);
  const LoadResult r = Load("e");
  EXPECT_EQ(r.result, -3);
  EXPECT_EQ(r.error, 901040);
}

TEST_F(PackLoadTest, StaleLocatorsAreRefused) {
  MountOne(RawEntry{.name = "e", .data = "x"});
  for (const auto& [pack, position] :
       std::vector<std::pair<int32_t, int64_t>>{{5, 40}, {-1, 40}, {0, 0}, {0, 1 << 20}, {0, -7}}) {
    ResourceLocator locator{};
    locator.source = kSourcePack;
    locator.pack_number = pack;
    locator.position = position;
    TakeError();
    EXPECT_LT(LoadPackEntry(&locator, "e"), 0);
    EXPECT_NE(TakeError(), 0);
    EXPECT_EQ(locator.data, nullptr);
  }
}

TEST_F(PackLoadTest, CheckAndRepairDataResults) {
  const std::string data = NoiseBytes(2500, 6);
  RawLayout layout;
  MountOne(RawEntry{.name = "e", .data = data}, &layout);
  const uint32_t hash = pack_test::Hash(data);
  const auto run = [&](std::string bytes) {
    DataFileStream stream;
    EXPECT_TRUE(OpenDataFile(&stream, path_));
    EXPECT_TRUE(SeekStreamTo(&stream, layout.data_offsets[0] + layout.stored_sizes[0]));
    const int32_t result =
        CheckAndRepairData(&stream, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size(), hash);
    CloseDataFile(&stream);
    return std::make_pair(result, bytes);
  };
  EXPECT_EQ(run(data).first, 0);
  std::string damaged = data;
  damaged[2400] = static_cast<char>(damaged[2400] + 1);  // the short last block
  EXPECT_EQ(run(damaged), std::make_pair(1, data));
  damaged[5] = static_cast<char>(damaged[5] + 1);
  EXPECT_EQ(run(damaged).first, -1);
}

// The index is read-only once mounted and every load has its own descriptor.
class PackLoadThreads : public PackLoadTest {};

TEST_F(PackLoadThreads, ConcurrentLoadsGetTheirOwnEntries) {
  RawPack pack;
  for (int i = 0; i < 16; ++i) {
    pack.entries.push_back(
        RawEntry{.name = "f" + std::to_string(i),
                 .data = NoiseBytes(4000 + static_cast<size_t>(i), static_cast<uint32_t>(i)),
                 .compression = static_cast<uint8_t>(i % 2)});
  }
  WritePack("data.kpf", BuildRawPack(pack));
  ASSERT_EQ(Mount(), 0);
  std::atomic<int> bad{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        const int i = (round + t) % 16;
        ResourceLocator locator{};
        const std::string name = "f" + std::to_string(i);
        if (FindPackEntry(&locator, name.c_str()) != kSourcePack ||
            LoadPackEntry(&locator, name.c_str()) != 0) {
          ++bad;
          continue;
        }
        const std::string got(reinterpret_cast<const char*>(locator.data), locator.size);
        if (got != pack.entries[static_cast<size_t>(i)].data) ++bad;
        FreeLocatorData(&locator);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(bad.load(), 0);
}

}  // namespace
}  // namespace korvel
