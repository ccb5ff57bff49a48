// The pack writer and the kpack / kappend programs: byte-identical to the golden packs made in
// Python, read back by the engine with every option, damage mended only with repair data, bad
// names refused, and a pack appended to a program found by the engine's probe.
#include "lib/pack_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "core/appended_data.h"
#include "resource/pack_test_fixture.h"
#include "test_support.h"

namespace korvel {
namespace {

using pack_test::LoadResult;
using tools::BuildPack;
using tools::PackCompression;
using tools::PackFileInput;
using tools::PackWriterOptions;

std::vector<uint8_t> Bytes(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}
std::string Text(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

class PackWriterTest : public pack_test::PackTest {
 public:
  static std::string FixturePath(const std::string& relative) {
    return std::string(KORVEL_FIXTURES_DIR) + "/packs/" + relative;
  }
  std::vector<uint8_t> Build(const std::vector<PackFileInput>& files, const PackWriterOptions& o) {
    std::vector<uint8_t> pack;
    std::string error;
    EXPECT_TRUE(BuildPack(files, o, &pack, &error)) << error;
    return pack;
  }
};

TEST_F(PackWriterTest, MatchesTheGoldenPacksByteForByte) {
  const struct {
    const char* folder;
    const char* pack;
    bool repair;
  } goldens[] = {{"golden_files", "golden.kpf", false},
                 {"golden_repair_files", "golden_repair.kpf", true}};
  for (const auto& g : goldens) {
    SCOPED_TRACE(g.pack);
    std::vector<PackFileInput> files;
    std::string error;
    ASSERT_TRUE(tools::CollectFolderFiles(FixturePath(g.folder), &files, &error)) << error;
    PackWriterOptions options;
    options.repair_data = g.repair;
    EXPECT_EQ(Text(Build(files, options)), test::ReadFile(FixturePath(g.pack)));
  }
}

TEST_F(PackWriterTest, EveryOptionReadsBack) {
  const std::vector<PackFileInput> files = {
      {"krbin/kre.kbn", Bytes(std::string(5000, 'e'))},
      {"BG\\Title.PNG", Bytes(pack_test::NoiseBytes(3000, 8))},
      {"empty.txt", {}},
      {"se/\x83\x41.wav", Bytes("RIFF")},
  };
  for (const PackCompression compression :
       {PackCompression::kStored, PackCompression::kZlib, PackCompression::kAuto}) {
    for (const bool repair : {false, true}) {
      SCOPED_TRACE(testing::Message()
                   << "compression " << static_cast<int>(compression) << ", repair " << repair);
      PackWriterOptions options;
      options.compression = compression;
      options.repair_data = repair;
      const std::string pack = Text(Build(files, options));
      const std::string path = WritePack("data.kpf", pack);
      ASSERT_EQ(Mount(), 0);
      for (const PackFileInput& f : files) EXPECT_EQ(Load(f.name).bytes, Text(f.bytes)) << f.name;
      EXPECT_EQ(Load("bg\\title.png").locator.type, kTypePng);
      EXPECT_EQ(Load("se\\\x83\x41.wav").locator.type, kTypeWav);

      // One damaged byte in the middle of the noise entry's stored bytes.
      ResourceLocator locator{};
      ASSERT_EQ(FindInPackFiles(&locator, "bg\\title.png"), kSourcePack);
      const auto* tail = reinterpret_cast<const uint8_t*>(pack.data() + locator.position);
      EXPECT_EQ(tail[0], compression == PackCompression::kZlib ? kPackZlib : kPackStored);
      const uint64_t at = LoadU64(tail + 9) + LoadU32(tail + 5) / 2;
      FlipByte(path, at, pack);
      const LoadResult r = Load("bg\\title.png");
      if (repair) {
        EXPECT_EQ(r.bytes, Text(files[1].bytes));
      } else {
        EXPECT_EQ(r.error, 104100);
      }
    }
  }
}

TEST_F(PackWriterTest, UpdatePacksBuiltByTheWriterReplaceEntries) {
  PackWriterOptions options;
  WritePack("data.kpf", Text(Build({{"a.txt", Bytes("old")}, {"b.txt", Bytes("b")}}, options)));
  WritePack(tools::UpdatePackFileName(1), Text(Build({{"A.TXT", Bytes("new")}}, options)));
  EXPECT_EQ(tools::UpdatePackFileName(1), "update1.kpf");
  ASSERT_EQ(Mount(), 0);
  EXPECT_EQ(Load("a.txt").bytes, "new");
  EXPECT_EQ(Load("b.txt").bytes, "b");
}

TEST_F(PackWriterTest, RefusesNamesItCannotStore) {
  const std::vector<std::vector<PackFileInput>> bad = {
      {{"a.txt", {}}, {"A.TXT", {}}},  // the same stored name
      {{"a/b", {}}, {"a\\b", {}}},    {{"", {}}},
      {{std::string(256, 'n'), {}}},  {{std::string("a\0b", 3), {}}},
  };
  for (const auto& files : bad) {
    std::vector<uint8_t> pack;
    std::string error;
    EXPECT_FALSE(BuildPack(files, PackWriterOptions{}, &pack, &error)) << files[0].name;
    EXPECT_FALSE(error.empty());
  }
  EXPECT_EQ(tools::PackEntryName("BG/Sub/X.PNG"), "bg\\sub\\x.png");
  EXPECT_EQ(tools::PackEntryName("\x83\x41/\x95\x5C"), "\x83\x41\\\x95\x5C");
  EXPECT_EQ(tools::PackEntryName(std::string(255, 'N')), std::string(255, 'n'));
}

TEST_F(PackWriterTest, RepairBlocks) {
  const std::string stored = pack_test::NoiseBytes(2100, 3);
  const auto* p = reinterpret_cast<const uint8_t*>(stored.data());
  EXPECT_EQ(Text(tools::BuildRepairBlock(p, stored.size(), true)),
            pack_test::RepairBlockFor(stored));
  EXPECT_EQ(Text(tools::BuildRepairBlock(p, stored.size(), false)), std::string(8, '\0'));
  EXPECT_EQ(Text(tools::BuildRepairBlock(p, 0, true)), pack_test::RepairBlockFor(""));
}

TEST_F(PackWriterTest, AppendedPackIsFoundByTheProbe) {
  const std::string program = "\177ELF" + pack_test::NoiseBytes(777, 5);
  const std::vector<uint8_t> pack = Build({{"krbin/krcfg.kbn", Bytes("cfg")}}, PackWriterOptions{});
  std::vector<uint8_t> joined = tools::AppendPackToExecutable(Bytes(program), pack);
  // Appending again replaces the pack instead of stacking a second one.
  const std::vector<uint8_t> pack2 = Build({{"other.txt", Bytes("2")}}, PackWriterOptions{});
  const std::vector<uint8_t> again = tools::AppendPackToExecutable(joined, pack2);
  EXPECT_EQ(Text(again), Text(tools::AppendPackToExecutable(Bytes(program), pack2)));

  const std::string exe = WritePack("game", Text(joined));
  AppendedData appended;
  ProbeAppendedData(exe, &appended);
  ASSERT_TRUE(appended.packs_inside_executable);
  EXPECT_EQ(appended.bare_size, program.size());
  EXPECT_EQ(appended.screen_saver_build, false);
  PackMountConfig config;
  config.game_folder = root_;
  config.inside_executable = true;
  config.executable = exe;
  config.executable_base = appended.pack_base;
  ASSERT_EQ(MountPackArchivesWith(config), 0);
  EXPECT_EQ(Load("krbin\\krcfg.kbn").bytes, "cfg");
}

TEST_F(PackWriterTest, KpackAndKappendPrograms) {
  test::TempDir source;
  source.Write("krbin/kre.kbn", std::string(3000, 'k'));
  source.Write("Image/A.png", pack_test::NoiseBytes(2000, 1));
  const std::string kpack = KORVEL_BUILD_DIR "/kpack";
  const std::string kappend = KORVEL_BUILD_DIR "/kappend";

  test::ProcessResult r = test::RunProcess({kpack, source.path(), root_ + "game.kpf"}, {}, 60000);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  r = test::RunProcess({kpack, "--stored", "--no-repair", source.path(), root_ + "plain.kpf.bak"},
                       {}, 60000);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(std::filesystem::file_size(root_ + "plain.kpf.bak"),
            32u + 2 * 27 + 13 + 11 + 3000 + 2000 + 2 * 8);
  test::TempDir updates;
  updates.Write("image/a.png", "replaced");
  r = test::RunProcess({kpack, "--zlib", "--update", "3", updates.path(), root_}, {}, 60000);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  ASSERT_TRUE(std::filesystem::exists(root_ + "update3.kpf"));
  ASSERT_EQ(Mount(), 0);
  EXPECT_EQ(Load("krbin\\kre.kbn").bytes, std::string(3000, 'k'));
  EXPECT_EQ(Load("image\\a.png").bytes, "replaced");

  // Usage errors.
  EXPECT_EQ(test::RunProcess({kpack, "--update", "0", source.path(), root_}, {}, 60000).exit_status,
            2);
  EXPECT_EQ(test::RunProcess({kpack, source.path()}, {}, 60000).exit_status, 2);
  EXPECT_EQ(test::RunProcess({kpack, root_ + "missing", root_ + "x.kpf"}, {}, 60000).exit_status,
            1);

  // kappend: a copy of a program with the pack, the program's permissions kept.
  const std::string program = WritePack("program", "\177ELF" + std::string(100, 'p'));
  ASSERT_EQ(chmod(program.c_str(), 0751), 0);
  r = test::RunProcess({kappend, program, root_ + "game.kpf", root_ + "joined"}, {}, 60000);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  struct stat st {};
  ASSERT_EQ(stat((root_ + "joined").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0751u);
  AppendedData appended;
  ProbeAppendedData(root_ + "joined", &appended);
  ASSERT_TRUE(appended.packs_inside_executable);
  PackMountConfig config;
  config.inside_executable = true;
  config.executable = root_ + "joined";
  config.executable_base = appended.pack_base;
  ASSERT_EQ(MountPackArchivesWith(config), 0);
  EXPECT_EQ(Load("image\\a.png").bytes, pack_test::NoiseBytes(2000, 1));
  EXPECT_EQ(test::RunProcess({kappend, program}, {}, 60000).exit_status, 2);
}

}  // namespace
}  // namespace korvel
