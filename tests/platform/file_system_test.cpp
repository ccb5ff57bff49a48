// Loose-file resolution: code page 932 names with '\', case-insensitive components with an exact
// match preferred, the root as a fence, the listing cache seeing new files, and whole-file reads
// that refuse 4 GiB files and short reads.
#include "platform/file_system.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace korvel::platform {
namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvel-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = std::string(pattern) + "/";
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
    ForgetFolderListings();
  }
  void Write(const std::string& relative, const std::string& bytes) {
    const fs::path path = root_ + relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
  }
  FileStatus Resolve(const std::string& relative, std::string* found, bool* is_folder = nullptr) {
    bool folder = false;
    std::string path;
    const FileStatus status = ResolvePath(root_, relative, &path, &folder);
    if (is_folder != nullptr) *is_folder = folder;
    *found = status == FileStatus::kOk ? path.substr(root_.size()) : std::string();
    return status;
  }

  std::string root_;
};

TEST_F(FileSystemTest, Cp932PathsBecomeUtf8WithSlashes) {
  EXPECT_EQ(SjisPathToUtf8("bg\\title.png"), "bg/title.png");
  // 0x95 0x5C is one character ("表"): its second byte is not a separator.
  EXPECT_EQ(SjisPathToUtf8("\x95\x5c\\a"), "\xe8\xa1\xa8/a");
  EXPECT_EQ(SjisPathToUtf8("\x83\x5c\x83\x74\x83\x67"), "\xe3\x82\xbd\xe3\x83\x95\xe3\x83\x88");
  EXPECT_EQ(SjisPathToUtf8("a\\\\b"), "a//b");
  EXPECT_EQ(SjisPathToUtf8(""), "");
}

TEST_F(FileSystemTest, ComponentsMatchWithoutRegardToCase) {
  Write("Data/BG/Title.PNG", "t");
  std::string found;
  bool folder = true;
  EXPECT_EQ(Resolve("data/bg/title.png", &found, &folder), FileStatus::kOk);
  EXPECT_EQ(found, "Data/BG/Title.PNG");
  EXPECT_FALSE(folder);
  EXPECT_EQ(Resolve("DATA/Bg", &found, &folder), FileStatus::kOk);
  EXPECT_EQ(found, "Data/BG");
  EXPECT_TRUE(folder);
  EXPECT_EQ(Resolve("", &found, &folder), FileStatus::kOk);
  EXPECT_TRUE(folder);
  EXPECT_EQ(Resolve("data//./bg/../BG/title.png", &found), FileStatus::kOk);
  EXPECT_EQ(found, "Data/BG/Title.PNG");
  EXPECT_EQ(ResolveSjisPath(root_, "DATA\\bg\\TITLE.png", &found, &folder), FileStatus::kOk);
  EXPECT_EQ(found, root_ + "Data/BG/Title.PNG");

  EXPECT_EQ(Resolve("data/bg/none.png", &found), FileStatus::kNotFound);
  EXPECT_EQ(Resolve("data/none/title.png", &found), FileStatus::kNotFound);
  EXPECT_EQ(Resolve("data/bg/title.png/x", &found), FileStatus::kNotFound);  // a file as folder
}

TEST_F(FileSystemTest, ExactMatchWinsOverOtherCases) {
  Write("a.txt", "lower");
  Write("A.txt", "upper");
  std::string found;
  EXPECT_EQ(Resolve("a.txt", &found), FileStatus::kOk);
  EXPECT_EQ(found, "a.txt");
  EXPECT_EQ(Resolve("A.txt", &found), FileStatus::kOk);
  EXPECT_EQ(found, "A.txt");
  EXPECT_EQ(Resolve("a.TXT", &found), FileStatus::kOk);
  EXPECT_EQ(found, "A.txt");  // first in byte order
}

TEST_F(FileSystemTest, PathsStayInsideTheRoot) {
  Write("in/x.txt", "x");
  std::string found;
  EXPECT_EQ(Resolve("../x", &found), FileStatus::kRefused);
  EXPECT_EQ(Resolve("in/../../x", &found), FileStatus::kRefused);
  EXPECT_EQ(Resolve("/etc/passwd", &found), FileStatus::kRefused);
  EXPECT_EQ(Resolve("c:/windows", &found), FileStatus::kRefused);
  bool folder = false;
  EXPECT_EQ(ResolveSjisPath(root_, "\\\\server\\share", &found, &folder), FileStatus::kRefused);
  EXPECT_EQ(Resolve("in/../in/x.txt", &found), FileStatus::kOk);
}

TEST_F(FileSystemTest, ListingCacheSeesChangedFolders) {
  Write("d/old.txt", "o");
  std::string found;
  EXPECT_EQ(Resolve("d/new.txt", &found), FileStatus::kNotFound);  // the listing is now cached
  Write("d/NEW.txt", "n");
  EXPECT_EQ(Resolve("d/new.txt", &found), FileStatus::kOk);
  EXPECT_EQ(found, "d/NEW.txt");
  fs::remove(root_ + "d/NEW.txt");
  EXPECT_EQ(Resolve("d/new.txt", &found), FileStatus::kNotFound);
  Write("d/New.txt", "n");
  ForgetFolderListings();
  EXPECT_EQ(Resolve("D/NEW.TXT", &found), FileStatus::kOk);
  EXPECT_EQ(found, "d/New.txt");
}

TEST_F(FileSystemTest, WholeFileReads) {
  Write("f.bin", std::string("a\0b", 3));
  uint8_t* data = nullptr;
  size_t size = 0;
  ASSERT_EQ(ReadWholeFile(root_ + "f.bin", &data, &size), FileStatus::kOk);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("a\0b", 3));
  std::free(data);

  Write("empty", "");
  ASSERT_EQ(ReadWholeFile(root_ + "empty", &data, &size), FileStatus::kOk);
  EXPECT_EQ(size, 0u);
  std::free(data);

  EXPECT_EQ(ReadWholeFile(root_ + "none", &data, &size), FileStatus::kOpenFailed);
  EXPECT_EQ(ReadWholeFile(root_, &data, &size), FileStatus::kIsFolder);
  EXPECT_EQ(data, nullptr);

  char head[4] = {};
  size_t got = 0;
  ASSERT_EQ(ReadFileHead(root_ + "f.bin", head, 2, &got), FileStatus::kOk);
  EXPECT_EQ(got, 2u);
  ASSERT_EQ(ReadFileHead(root_ + "f.bin", head, 4, &got), FileStatus::kOk);
  EXPECT_EQ(got, 3u);
}

TEST_F(FileSystemTest, FourGibibytesOrMoreAreRefused) {
  const std::string path = root_ + "huge";
  for (const uint64_t length : {uint64_t{kMaxWholeFileSize + 1}, uint64_t{0x200000000}}) {
    SCOPED_TRACE(length);
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const bool sized = ftruncate(fd, static_cast<off_t>(length)) == 0;
    close(fd);
    if (!sized) GTEST_SKIP() << "no sparse files here";
    uint8_t* data = nullptr;
    size_t size = 0;
    EXPECT_EQ(ReadWholeFile(path, &data, &size), FileStatus::kTooLarge);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(size, 0u);
  }
}

TEST_F(FileSystemTest, ShortReadIsAnError) {
  // sysfs files claim a size of one page and hold fewer bytes.
  const char* path = "/sys/devices/system/cpu/online";
  struct stat st {};
  if (stat(path, &st) != 0 || st.st_size != 4096) GTEST_SKIP() << "no sysfs here";
  uint8_t* data = nullptr;
  size_t size = 0;
  EXPECT_EQ(ReadWholeFile(path, &data, &size), FileStatus::kShortRead);
  EXPECT_EQ(data, nullptr);
}

}  // namespace
}  // namespace korvel::platform
