// The golden packs made by tests/fixtures/packs/make_golden_packs.py (Python's zlib, its own
// MurmurHash2 and parity): every entry loads as the loose file it was made from, and the Python
// repair data mends a damaged block.
#include <gtest/gtest.h>

#include <filesystem>

#include "pack_test_fixture.h"
#include "platform/text_encoding.h"

namespace korvel {
namespace {

using pack_test::LoadResult;

class PackGoldenTest : public pack_test::PackTest {
 protected:
  std::string Fixture(const std::string& relative) {
    return ReadBytes(std::string(KORVEL_FIXTURES_DIR) + "/packs/" + relative);
  }
  static std::string ReadBytes(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    EXPECT_FALSE(ec) << path;
    std::string bytes(ec ? 0 : static_cast<size_t>(size), '\0');
    std::ifstream in(path, std::ios::binary);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(in.good()) << path;
    return bytes;
  }
};

TEST_F(PackGoldenTest, EveryEntryLoadsAsItsFile) {
  WritePack("golden.kpf", Fixture("golden.kpf"));
  ASSERT_EQ(Mount(), 0);
  const struct {
    const char* name;  // code page 932, as a script asks for it
    const char* file;  // UTF-8, below golden_files
    uint8_t type;
  } entries[] = {
      {"krbin\\krcfg.kbn", "krbin/krcfg.kbn", kTypeOther},
      {"script\\readme.txt", "Script/ReadMe.txt", kTypeOther},
      {"Script\\ReadMe.TXT", "Script/ReadMe.txt", kTypeOther},
      {"voice\\\x83\x41\x83\x43.ogg", "voice/アイ.ogg", kTypeOgg},
      {"bg\\\x95\x5C\x8E\x86.bmp", "bg/表紙.bmp", kTypeBmp},
  };
  for (const auto& e : entries) {
    SCOPED_TRACE(e.file);
    const LoadResult r = Load(e.name);
    EXPECT_EQ(r.result, kSourcePack);
    EXPECT_EQ(r.locator.type, e.type);
    EXPECT_EQ(r.bytes, Fixture(std::string("golden_files/") + e.file));
  }
  EXPECT_EQ(g_packs.index.hashes.size(), 4u);
  EXPECT_EQ(DataIsPacked(), 1);
}

TEST_F(PackGoldenTest, PythonRepairDataMendsEachBlock) {
  const std::string pack = Fixture("golden_repair.kpf");
  const std::string path = WritePack("golden_repair.kpf", pack);
  ASSERT_EQ(Mount(), 0);
  const std::string block = Fixture("golden_repair_files/data/block.bin");
  const std::string text = Fixture("golden_repair_files/data/text.txt");
  ASSERT_EQ(Load("data\\block.bin").bytes, block);
  ASSERT_EQ(Load("data\\text.txt").bytes, text);

  // Locate the stored bytes through the directory the engine read.
  const auto stored_at = [&](const char* name) {
    ResourceLocator locator{};
    EXPECT_EQ(FindInPackFiles(&locator, name), kSourcePack);
    const auto* tail = reinterpret_cast<const uint8_t*>(pack.data() + locator.position);
    return std::make_pair(LoadU64(tail + 9), LoadU32(tail + 5));
  };
  const auto [block_at, block_stored] = stored_at("data\\block.bin");
  ASSERT_EQ(block_stored, 1300u);
  for (const uint64_t at : {block_at + 0, block_at + 1023, block_at + 1024, block_at + 1299}) {
    FlipByte(path, at, pack);
    EXPECT_EQ(Load("data\\block.bin").bytes, block) << at - block_at;
    Patch(path, at, pack.substr(at, 1));
  }
  const auto [text_at, text_stored] = stored_at("data\\text.txt");
  FlipByte(path, text_at + text_stored / 2, pack);
  const LoadResult r = Load("data\\text.txt");
  EXPECT_EQ(r.error, 0);
  EXPECT_EQ(r.bytes, text);
}

}  // namespace
}  // namespace korvel
