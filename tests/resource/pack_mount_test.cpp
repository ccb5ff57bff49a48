// Mounting packs: the scan and its order, registration limits and errors, malformed directories,
// duplicates, update packs, and the pack appended to the executable.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "core/appended_data.h"
#include "pack_test_fixture.h"

namespace korvel {
namespace {

using pack_test::BuildRawPack;
using pack_test::LoadResult;
using pack_test::ManyEntryPack;
using pack_test::RawEntry;
using pack_test::RawPack;

class PackMountTest : public pack_test::PackTest {
 public:
  std::string OnePack(const std::string& name, const std::string& data) {
    RawPack pack;
    pack.entries.push_back(RawEntry{.name = name, .data = data});
    return BuildRawPack(pack);
  }
  // p0.kpf .. p<count-1>.kpf, each with one entry of its own.
  void WriteNumberedPacks(int count) {
    for (int i = 0; i < count; ++i) {
      WritePack("p" + std::to_string(i) + ".kpf", OnePack("e" + std::to_string(i), "x"));
    }
  }
};

struct MountCase {
  const char* label;
  std::function<void(PackMountTest*)> setup;
  int expected;            // MountPackArchivesWith's result
  int32_t error;           // the code reported, 0 for none
  const char* in_message;  // a text the report's message holds, or null
};

TEST_F(PackMountTest, MountTable) {
  const MountCase cases[] = {
      {"foreign magic is skipped and its slot reused",
       [](PackMountTest* t) {
         RawPack foreign;
         foreign.magic = std::string("KPG\0", 4);
         foreign.entries.push_back(RawEntry{.name = "x.txt", .data = "x"});
         t->WritePack("a.kpf", BuildRawPack(foreign));
         t->WritePack("b.kpf", t->OnePack("b.txt", "b"));
       },
       0, 0, nullptr},
      {"file too short for a magic is skipped",
       [](PackMountTest* t) { t->WritePack("a.kpf", "KP"); }, 0, 0, nullptr},
      {"magic without a whole header",
       [](PackMountTest* t) { t->WritePack("a.kpf", std::string("KPF\0\xEA\0\0\0", 8)); }, -1,
       104120, "a.kpf"},
      {"version 233",
       [](PackMountTest* t) {
         RawPack p;
         p.version = 233;
         t->WritePack("old.kpf", BuildRawPack(p));
       },
       -1, 104120, "old.kpf"},
      {"version 234",
       [](PackMountTest* t) {
         RawPack p;
         p.version = 234;
         t->WritePack("new.kpf", BuildRawPack(p));
       },
       0, 0, nullptr},
      {"negative version",
       [](PackMountTest* t) {
         RawPack p;
         p.version = -5;
         t->WritePack("neg.kpf", BuildRawPack(p));
       },
       -1, 104120, nullptr},
      {"100 packs", [](PackMountTest* t) { t->WriteNumberedPacks(100); }, 0, 0, nullptr},
      {"101 packs", [](PackMountTest* t) { t->WriteNumberedPacks(101); }, -1, 104130, "100"},
      {"100 packs and a 101st file of another kind",
       [](PackMountTest* t) {
         t->WriteNumberedPacks(100);
         t->WritePack("zz.kpf", "not a pack at all");
       },
       -1, 104130, "100"},
      {"100,000 entries",
       [](PackMountTest* t) {
         t->WritePack("a.kpf", ManyEntryPack(60000));
         t->WritePack("b.kpf", ManyEntryPack(40000, 60000));
       },
       0, 0, nullptr},
      {"100,001 entries",
       [](PackMountTest* t) {
         t->WritePack("a.kpf", ManyEntryPack(60000));
         t->WritePack("b.kpf", ManyEntryPack(40001, 60000));
       },
       -1, 104140, "100000"},
      {"entry counts summed past 32 bits",
       [](PackMountTest* t) {
         t->WritePack("a.kpf", t->OnePack("a", "a"));
         RawPack huge;
         huge.entry_count = 0xFFFFFFFFu;
         t->WritePack("b.kpf", BuildRawPack(huge));
       },
       -1, 104140, nullptr},
      {"duplicate in two ordinary packs",
       [](PackMountTest* t) {
         t->WritePack("a.kpf", t->OnePack("bg\\same.png", "1"));
         t->WritePack("b.kpf", t->OnePack("bg\\same.png", "2"));
       },
       -1, 104150, "bg\\same.png"},
      {"duplicate inside one pack",
       [](PackMountTest* t) {
         RawPack p;
         p.entries.push_back(RawEntry{.name = "twice.txt", .data = "1"});
         p.entries.push_back(RawEntry{.name = "twice.txt", .data = "2"});
         t->WritePack("a.kpf", BuildRawPack(p));
       },
       -1, 104150, "twice.txt"},
      {"duplicate in an ordinary pack of pac",
       [](PackMountTest* t) {
         t->WritePack("a.kpf", t->OnePack("x.txt", "1"));
         t->WritePack("pac/b.kpf", t->OnePack("x.txt", "2"));
       },
       -1, 104150, "x.txt"},
      {"equal hashes with different names are no duplicate",
       [](PackMountTest* t) {
         RawPack p;
         p.entries.push_back(RawEntry{.name = "one", .data = "1", .name_hash = 7});
         p.entries.push_back(RawEntry{.name = "two", .data = "2", .name_hash = 7});
         t->WritePack("a.kpf", BuildRawPack(p));
       },
       0, 0, nullptr},
      {"entry count larger than the directory",
       [](PackMountTest* t) {
         RawPack p;
         p.entries.push_back(RawEntry{.name = "a", .data = "1"});
         p.entry_count = 2;
         t->WritePack("a.kpf", BuildRawPack(p));
       },
       -1, 104120, "a.kpf"},
      {"name running past the directory",
       [](PackMountTest* t) {
         RawPack p;
         p.entries.push_back(RawEntry{.name = "abcdefgh", .data = "1"});
         p.directory_size = 27 + 4;
         t->WritePack("a.kpf", BuildRawPack(p));
       },
       -1, 104120, nullptr},
      {"directory past the end of the file",
       [](PackMountTest* t) {
         RawPack p;
         p.entries.push_back(RawEntry{.name = "a", .data = "1"});
         p.directory_size = 1u << 30;
         t->WritePack("a.kpf", BuildRawPack(p));
       },
       -1, 104120, nullptr},
      {"file cut inside the directory",
       [](PackMountTest* t) {
         RawPack p;
         p.entries.push_back(RawEntry{.name = "a", .data = "1"});
         p.entries.push_back(RawEntry{.name = "b", .data = "2"});
         t->WritePack("a.kpf", BuildRawPack(p).substr(0, 32 + 30));
       },
       -1, 104120, nullptr},
  };
  for (const MountCase& c : cases) {
    SCOPED_TRACE(c.label);
    TearDown();
    SetUp();
    c.setup(this);
    TakeError();
    EXPECT_EQ(Mount(), c.expected);
    const ErrorReportSnapshot report = LastErrorReport();
    EXPECT_EQ(TakeError(), c.error);
    if (c.in_message != nullptr) {
      EXPECT_NE(report.message.find(c.in_message), std::string::npos) << report.message;
    }
    EXPECT_EQ(g_packs.mounted, c.expected == 0);
    if (c.expected != 0) {
      // Nothing stays mounted: lookups miss.
      ResourceLocator locator{};
      EXPECT_EQ(FindInPackFiles(&locator, "x.txt"), 0);
    }
  }
}

TEST_F(PackMountTest, DuplicateIsReportedAsNotFatal) {
  WritePack("a.kpf", OnePack("same", "1"));
  WritePack("b.kpf", OnePack("same", "2"));
  EXPECT_EQ(Mount(), -1);
  EXPECT_EQ(TakeError(), 104150);
  EXPECT_FALSE(QuitRequested());
}

TEST_F(PackMountTest, ForeignMagicGivesUpItsPackNumber) {
  RawPack foreign;
  foreign.magic = std::string("ZIP\0", 4);
  WritePack("a.kpf", BuildRawPack(foreign));
  WritePack("b.kpf", OnePack("b.txt", "bee"));
  ASSERT_EQ(Mount(), 0);
  const LoadResult r = Load("b.txt");
  EXPECT_EQ(r.result, kSourcePack);
  EXPECT_EQ(r.bytes, "bee");
  EXPECT_EQ(r.locator.pack_number, 0);
  EXPECT_EQ(g_packs.packs.size(), 1u);
}

TEST_F(PackMountTest, EveryEntryOfTheLargestMountIsFound) {
  WritePack("a.kpf", ManyEntryPack(60000));
  WritePack("b.kpf", ManyEntryPack(40000, 60000));
  ASSERT_EQ(Mount(), 0);
  EXPECT_EQ(g_packs.index.hashes.size(), 100000u);
  for (uint32_t i = 0; i < 100000; i += 997) {
    ResourceLocator locator{};
    ASSERT_EQ(FindInPackFiles(&locator, ("F" + std::to_string(i)).c_str()), kSourcePack) << i;
    EXPECT_EQ(locator.pack_number, i < 60000 ? 0 : 1);
  }
  ResourceLocator locator{};
  EXPECT_EQ(FindInPackFiles(&locator, "f100000"), 0);
}

// Pack numbers follow the scan: the game folder's listing sorted with letter case folded, then
// "pac" (any case), one level only; update packs after every ordinary pack, by number.
TEST_F(PackMountTest, ScanOrderAndPlaces) {
  WritePack("c.KPF", OnePack("c", "c"));
  WritePack("B.kpf", OnePack("b", "b"));
  WritePack("a.kpf", OnePack("a", "a"));
  WritePack("_u.kpf", OnePack("u", "u"));  // '_' lists after letters, as folded to upper case
  WritePack("PAC/d.kpf", OnePack("d", "d"));
  WritePack("PAC/pac/e.kpf", OnePack("e", "e"));  // too deep
  WritePack("other/f.kpf", OnePack("f", "f"));    // not a pack folder
  WritePack("update1.kpf", OnePack("u1", "u1"));
  WritePack("note.kpf.txt", OnePack("g", "g"));               // not a pack name
  std::filesystem::create_directories(root_ + "folder.kpf");  // a folder, not a pack
  WriteFile("pac.kpf/x", "");
  ASSERT_EQ(Mount(), 0);
  const struct {
    const char* name;
    int32_t pack;
  } expected[] = {{"a", 0}, {"b", 1}, {"c", 2}, {"u", 3}, {"d", 4}, {"u1", 5}};
  for (const auto& e : expected) {
    ResourceLocator locator{};
    ASSERT_EQ(FindInPackFiles(&locator, e.name), kSourcePack) << e.name;
    EXPECT_EQ(locator.pack_number, e.pack) << e.name;
  }
  for (const char* missing : {"e", "f", "g"}) {
    ResourceLocator locator{};
    EXPECT_EQ(FindInPackFiles(&locator, missing), 0) << missing;
  }
  EXPECT_TRUE(g_packs.packs[5].is_update);
  EXPECT_FALSE(g_packs.packs[0].is_update);
}

TEST_F(PackMountTest, ScanDepthAndFolderLimits) {
  // A chain of "pac" folders: the folder at depth 32 is refused.
  std::string chain;
  for (int depth = 2; depth <= 31; ++depth) chain += "pac/";
  std::filesystem::create_directories(root_ + chain);
  ResetPackMountState(PackMountConfig{.game_folder = root_});
  TakeError();
  EXPECT_EQ(ScanPackFolders(100, root_), 0);  // deepest folder at depth 31
  EXPECT_EQ(TakeError(), 0);
  std::filesystem::create_directories(root_ + chain + "pac");
  ResetPackMountState(PackMountConfig{.game_folder = root_});
  EXPECT_EQ(ScanPackFolders(100, root_), -1);
  EXPECT_EQ(TakeError(), 104111);
  std::filesystem::remove_all(root_ + "pac");

  // Eight spellings of "pac" per folder: the 1000th folder is refused.
  const char* spellings[] = {"pac", "paC", "pAc", "pAC", "Pac", "PaC", "PAc", "PAC"};
  std::vector<std::string> level = {""};
  size_t folders = 1;
  while (folders < 1000) {
    std::vector<std::string> next;
    for (const std::string& parent : level) {
      for (const char* s : spellings) {
        if (folders >= 1000) break;
        next.push_back(parent + s + "/");
        std::filesystem::create_directories(root_ + next.back());
        ++folders;
      }
    }
    level = next;
  }
  ResetPackMountState(PackMountConfig{.game_folder = root_});
  EXPECT_EQ(ScanPackFolders(10, root_), -1);
  EXPECT_EQ(TakeError(), 104110);
  // The mount itself looks one level deep only.
  EXPECT_EQ(Mount(), 0);
}

TEST_F(PackMountTest, UpdatePackReplacesOlderEntries) {
  RawPack base;
  base.entries.push_back(RawEntry{.name = "a.txt", .data = "old a"});
  base.entries.push_back(RawEntry{.name = "b.txt", .data = "old b"});
  WritePack("data.kpf", BuildRawPack(base));
  WritePack("update1.kpf", OnePack("a.txt", "new a"));
  ASSERT_EQ(Mount(), 0);
  EXPECT_EQ(Load("a.txt").bytes, "new a");
  EXPECT_EQ(Load("a.txt").locator.pack_number, 1);
  EXPECT_EQ(Load("b.txt").bytes, "old b");
  EXPECT_EQ(g_packs.index.duplicate, 1);
}

TEST_F(PackMountTest, LaterUpdatePacksWinWhereverTheyAre) {
  WritePack("data.kpf", OnePack("a.txt", "base"));
  WritePack("pac/update1.kpf", OnePack("a.txt", "one"));
  WritePack("update2.kpf", OnePack("a.txt", "two"));
  WritePack("update3.kpf", OnePack("other.txt", "three"));
  ASSERT_EQ(Mount(), 0);
  EXPECT_EQ(Load("a.txt").bytes, "two");
  EXPECT_EQ(Load("other.txt").bytes, "three");

  // A name twice inside one update pack: the later entry is the one found.
  RawPack twice;
  twice.entries.push_back(RawEntry{.name = "a.txt", .data = "first"});
  twice.entries.push_back(RawEntry{.name = "a.txt", .data = "second"});
  WritePack("update2.kpf", BuildRawPack(twice));
  ASSERT_EQ(Mount(), 0);
  EXPECT_EQ(Load("a.txt").bytes, "second");
}

TEST_F(PackMountTest, TwoUpdatePacksOfOneNumberKeepTheOneInPacWithAWarning) {
  WritePack("update4.kpf", OnePack("a.txt", "game folder"));
  WritePack("pac/Update4.KPF", OnePack("a.txt", "pac"));
  testing::internal::CaptureStderr();
  const int result = Mount();
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(result, 0);
  EXPECT_EQ(TakeError(), 0);
  EXPECT_EQ(Load("a.txt").bytes, "pac");
  EXPECT_NE(err.find("korvel: warning:"), std::string::npos) << err;
  EXPECT_NE(err.find("update4.kpf"), std::string::npos) << err;
  EXPECT_EQ(g_packs.packs.size(), 1u);
}

TEST_F(PackMountTest, DataIsPackedByTheProjectConfigEntry) {
  WritePack("a.kpf", OnePack("krbin\\kre.kbn", "x"));
  ASSERT_EQ(Mount(), 0);
  EXPECT_EQ(DataIsPacked(), 0);
  // Any letter case counts.
  WritePack("b.kpf", OnePack("KRBIN\\KrCfg.kbn", "x"));
  ASSERT_EQ(Mount(), 0);
  EXPECT_EQ(DataIsPacked(), 1);
  UnmountPackArchives();
  EXPECT_EQ(DataIsPacked(), 0);
}

TEST_F(PackMountTest, LookupNamesAreLowerCasedAsStoredNamesAre) {
  RawPack p;
  p.entries.push_back(RawEntry{.name = "bg\\title.png", .data = "png", .type = kTypePng});
  // Double-byte names: a trail byte that looks like 'A' (0x41) or '\' (0x5C) stays as it is.
  p.entries.push_back(RawEntry{.name = "voice\\\x83\x41.ogg", .data = "a"});
  p.entries.push_back(RawEntry{.name = "bg\\\x95\x5C.bmp", .data = "hyo"});
  WritePack("a.kpf", BuildRawPack(p));
  ASSERT_EQ(Mount(), 0);
  const LoadResult png = Load("BG\\Title.PNG");
  EXPECT_EQ(png.result, kSourcePack);
  EXPECT_EQ(png.bytes, "png");
  EXPECT_EQ(png.locator.type, kTypePng);
  EXPECT_EQ(Load("bg/title.png").bytes, "png");
  EXPECT_EQ(Load("VOICE\\\x83\x41.OGG").bytes, "a");
  EXPECT_EQ(Load("voice\\\x83\x61.ogg").result, 0);  // another character
  EXPECT_EQ(Load("bg/\x95\x5C.bmp").bytes, "hyo");
  EXPECT_EQ(Load(std::string(300, 'a')).result, 0);
}

TEST_F(PackMountTest, DiskFilesComeBeforePackEntries) {
  WritePack("a.kpf", OnePack("same.txt", "pack"));
  WriteFile("same.txt", "disk");
  ASSERT_EQ(Mount(), 0);
  const LoadResult r = Load("same.txt");
  EXPECT_EQ(r.result, kSourceDisk);
  EXPECT_EQ(r.bytes, "disk");
}

// The pack appended to the executable: only it is mounted, read at its base offset and never past
// the footer; the data counts as packed.
TEST_F(PackMountTest, PackInsideTheExecutable) {
  RawPack p;
  p.entries.push_back(RawEntry{.name = "krbin\\krcfg.kbn", .data = "cfg"});
  p.entries.push_back(RawEntry{.name = "same.txt", .data = pack_test::NoiseBytes(3000, 1)});
  const std::string program = "\177ELF" + pack_test::NoiseBytes(5000, 2);
  const std::string exe =
      WritePack("game-exe", pack_test::AppendToProgram(program, BuildRawPack(p)));
  WritePack("loose.kpf", OnePack("loose.txt", "loose"));
  WriteFile("same.txt", "disk");

  AppendedData appended;
  ProbeAppendedData(exe, &appended);
  ASSERT_TRUE(appended.packs_inside_executable);
  EXPECT_EQ(appended.pack_base, program.size() + 16);

  PackMountConfig config;
  config.game_folder = root_;
  config.inside_executable = true;
  config.executable = exe;
  config.executable_base = appended.pack_base;
  ASSERT_EQ(MountPackArchivesWith(config), 0);
  g_resource.packs_inside_executable = true;
  EXPECT_EQ(DataIsPacked(), 1);
  EXPECT_EQ(Load("krbin\\krcfg.kbn").bytes, "cfg");
  const LoadResult same = Load("same.txt");
  EXPECT_EQ(same.result, kSourcePack);  // packs come first
  EXPECT_EQ(same.bytes, pack_test::NoiseBytes(3000, 1));
  EXPECT_EQ(Load("loose.txt").result, 0);

  // Registration errors name the executable.
  RawPack old;
  old.version = 200;
  const std::string old_exe =
      WritePack("old-exe", pack_test::AppendToProgram(program, BuildRawPack(old)));
  config.executable = old_exe;
  TakeError();
  EXPECT_EQ(MountPackArchivesWith(config), -1);
  const ErrorReportSnapshot report = LastErrorReport();
  EXPECT_EQ(TakeError(), 104120);
  EXPECT_NE(report.message.find("old-exe"), std::string::npos) << report.message;
}

TEST_F(PackMountTest, UnmountForgetsEverything) {
  WritePack("a.kpf", OnePack("a.txt", "a"));
  ASSERT_EQ(Mount(), 0);
  UnmountPackArchives();
  EXPECT_FALSE(g_packs.mounted);
  EXPECT_TRUE(g_packs.packs.empty());
  EXPECT_TRUE(g_packs.index.hashes.empty());
  EXPECT_EQ(Load("a.txt").result, 0);
  // Mounting again works from a clean state.
  ASSERT_EQ(Mount(), 0);
  EXPECT_EQ(Load("a.txt").bytes, "a");
  EXPECT_EQ(BuildPackTables(), 0);
}

}  // namespace
}  // namespace korvel
