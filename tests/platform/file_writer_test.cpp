// The temporary-file writer: temporary files that an earlier run left behind when it was killed
// mid-write go at the next write to their folder (nothing else does, neither other files nor a
// temporary file of this run); a file written again keeps its mode, a new one takes the umask; a
// target that is a symbolic link is written through, and the link stays.
#include "platform/file_writer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <set>
#include <string>

#include "test_support.h"

namespace korvel::platform {
namespace {

namespace fs = std::filesystem;

void MakeOld(const std::string& path) {
  fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(2));
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

bool Write(const std::string& folder, const std::string& name, const std::string& bytes) {
  FileWriter writer;
  return BeginFileWrite(folder, name, &writer) &&
         WriteFileBytes(&writer, bytes.data(), bytes.size()) && CommitFileWrite(&writer);
}

TEST(FileWriterTest, StaleTemporaryFilesOfOursGoAtTheNextWrite) {
  test::TempDir dir;
  const std::string folder = dir.path() + "/saves";
  // Left by an earlier run: our exact pattern, last changed before this run started.
  const char* stale[] = {".korvel-write-AbC123", ".korvel-write-000000", ".korvel-write-zzzzzz"};
  // Kept: not our pattern, not a regular file, or not older than this run.
  const char* kept_old[] = {".korvel-write-AbC12",  ".korvel-write-AbC1234", ".korvel-write-AbC12-",
                            ".korvel-write-",       "korvel-write-AbC123",   ".korvel-writeAbC1234",
                            ".Korvel-write-AbC123", "game.sd",               "x.korvel-write-AbC123"};
  for (const char* name : stale) MakeOld(dir.Write(std::string("saves/") + name, "partial"));
  for (const char* name : kept_old) MakeOld(dir.Write(std::string("saves/") + name, "other"));
  fs::create_directory(folder + "/.korvel-write-Folder");
  MakeOld(folder + "/.korvel-write-Folder");
  fs::create_symlink(folder + "/game.sd", folder + "/.korvel-write-LiNk00");
  dir.Write("saves/.korvel-write-Fresh1", "a write of this run");
  // Seconds older than this run: coarse or skewed file times could make a file of this run look
  // so, so it stays too.
  fs::last_write_time(dir.Write("saves/.korvel-write-Fresh2", "a write of this run"),
                      fs::file_time_type::clock::now() - std::chrono::seconds(20));

  // A temporary file of this run in progress is left alone by another write to the folder.
  FileWriter open;
  ASSERT_TRUE(BeginFileWrite(folder, "slow.dat", &open));
  const std::string open_temp = fs::path(open.temp_path).filename().string();
  ASSERT_TRUE(Write(folder, "game.sd", "new save"));

  std::set<std::string> expected(std::begin(kept_old), std::end(kept_old));
  expected.insert({".korvel-write-Folder", ".korvel-write-LiNk00", ".korvel-write-Fresh1",
                   ".korvel-write-Fresh2", open_temp});
  EXPECT_EQ(Names(folder), expected);
  EXPECT_EQ(test::ReadFile(folder + "/game.sd"), "new save");
  EXPECT_EQ(test::ReadFile(folder + "/.korvel-write-LiNk00"), "new save");  // followed, not removed

  ASSERT_TRUE(WriteFileBytes(&open, "slow", 4));
  ASSERT_TRUE(CommitFileWrite(&open));
  EXPECT_EQ(test::ReadFile(folder + "/slow.dat"), "slow");
}

TEST(FileWriterTest, OnlyTheFolderWrittenToIsCleaned) {
  test::TempDir dir;
  MakeOld(dir.Write("a/.korvel-write-Stale1", "partial"));
  MakeOld(dir.Write("b/.korvel-write-Stale2", "partial"));
  MakeOld(dir.Write("a/sub/.korvel-write-Stale3", "partial"));
  ASSERT_TRUE(Write(dir.path() + "/a", "x", "x"));
  EXPECT_FALSE(fs::exists(dir.File("a/.korvel-write-Stale1")));
  EXPECT_TRUE(fs::exists(dir.File("b/.korvel-write-Stale2")));
  EXPECT_TRUE(fs::exists(dir.File("a/sub/.korvel-write-Stale3")));
}

// Sets the umask for the life of the object.
class ScopedUmask {
 public:
  explicit ScopedUmask(mode_t mask) : old_(::umask(mask)) {}
  ~ScopedUmask() { ::umask(old_); }
  ScopedUmask(const ScopedUmask&) = delete;
  ScopedUmask& operator=(const ScopedUmask&) = delete;

 private:
  mode_t old_;
};

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

TEST(FileWriterTest, FileWrittenAgainKeepsItsModeAndANewOneTakesTheUmask) {
  test::TempDir dir;
  const ScopedUmask mask(027);
  const struct {
    mode_t old_mode;  // 0: no old file
    mode_t expected;
  } cases[] = {{0, 0640}, {0600, 0600}, {0664, 0664}, {0755, 0755}};
  int n = 0;
  for (const auto& c : cases) {
    const std::string name = "file" + std::to_string(n++);
    const std::string path = dir.path() + "/" + name;
    if (c.old_mode != 0) {
      dir.Write(name, "old");
      ASSERT_EQ(::chmod(path.c_str(), c.old_mode), 0);
    }
    ASSERT_TRUE(Write(dir.path(), name, "new"));
    EXPECT_EQ(test::ReadFile(path), "new");
    EXPECT_EQ(ModeOf(path), c.expected) << name;
  }
}

TEST(FileWriterTest, LinkedTargetIsWrittenThroughAndStaysALink) {
  test::TempDir dir;
  dir.Write("saves/real.sd", "old");
  dir.Write("other/far.sd", "old far");
  ASSERT_EQ(::chmod(dir.File("other/far.sd").c_str(), 0600), 0);
  fs::create_symlink("real.sd", dir.File("saves/near.sd"));
  fs::create_symlink("../other/far.sd", dir.File("saves/far.sd"));
  fs::create_symlink("near.sd", dir.File("saves/chain.sd"));  // a link to a link
  const std::string saves = dir.path() + "/saves";

  ASSERT_TRUE(Write(saves, "near.sd", "near"));
  EXPECT_TRUE(fs::is_symlink(dir.File("saves/near.sd")));
  EXPECT_EQ(test::ReadFile(dir.File("saves/real.sd")), "near");

  ASSERT_TRUE(Write(saves, "far.sd", "far"));  // in another folder
  EXPECT_TRUE(fs::is_symlink(dir.File("saves/far.sd")));
  EXPECT_EQ(test::ReadFile(dir.File("other/far.sd")), "far");
  EXPECT_EQ(ModeOf(dir.File("other/far.sd")), 0600u);

  ASSERT_TRUE(Write(saves, "chain.sd", "chain"));
  EXPECT_TRUE(fs::is_symlink(dir.File("saves/chain.sd")));
  EXPECT_TRUE(fs::is_symlink(dir.File("saves/near.sd")));
  EXPECT_EQ(test::ReadFile(dir.File("saves/real.sd")), "chain");

  // No temporary file is left anywhere.
  EXPECT_EQ(Names(saves), (std::set<std::string>{"chain.sd", "far.sd", "near.sd", "real.sd"}));
  EXPECT_EQ(Names(dir.path() + "/other"), std::set<std::string>{"far.sd"});

  // A link that names nothing is not replaced.
  fs::create_symlink("missing.sd", dir.File("saves/dangling.sd"));
  EXPECT_FALSE(Write(saves, "dangling.sd", "x"));
  EXPECT_TRUE(fs::is_symlink(dir.File("saves/dangling.sd")));
  EXPECT_FALSE(fs::exists(dir.File("saves/missing.sd")));
}

}  // namespace
}  // namespace korvel::platform
