// The temporary-file writer's clean-up: temporary files that an earlier run left behind when it was
// killed mid-write go at the next write to their folder; nothing else does, neither other files
// nor a temporary file of this run.
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

}  // namespace
}  // namespace korvel::platform
