// The read-only file: what opening reports for each kind of path (a pipe must fail, never wait for
// a writer), reads that must lie wholly inside the file, and ownership that closes exactly once.
#include "platform/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "param_names.h"
#include "test_support.h"

namespace korvel::platform {
namespace {

using korvel::test::PrintTo;
using korvel::test::TempDir;

struct OpenCase {
  const char* name;
  std::string (*make)(const TempDir& dir);  // returns the path to open
  FileStatus expected;
};

const OpenCase kOpenCases[] = {
    {"RegularFile", [](const TempDir& d) { return d.Write("a.bin", "0123456789"); },
     FileStatus::kOk},
    {"EmptyFile", [](const TempDir& d) { return d.Write("empty.bin", ""); }, FileStatus::kOk},
    {"MissingFile", [](const TempDir& d) { return d.File("missing.bin"); }, FileStatus::kNotFound},
    {"FileUsedAsFolder",
     [](const TempDir& d) { return d.Write("a.bin", "x") + "/inner"; }, FileStatus::kNotFound},
    {"Folder", [](const TempDir& d) { return d.path(); }, FileStatus::kIsFolder},
    {"PipeWithoutWriter",
     [](const TempDir& d) {
       const std::string path = d.File("pipe");
       EXPECT_EQ(mkfifo(path.c_str(), 0600), 0);
       return path;
     },
     FileStatus::kOpenFailed},
    {"CharacterDevice", [](const TempDir&) { return std::string("/dev/null"); },
     FileStatus::kOpenFailed},
    {"EmptyPath", [](const TempDir&) { return std::string(); }, FileStatus::kNotFound},
};

class ReadOnlyFileOpenTest : public ::testing::TestWithParam<OpenCase> {};

TEST_P(ReadOnlyFileOpenTest, ReportsWhatThePathIs) {
  const OpenCase& c = GetParam();
  TempDir dir;
  const std::string path = c.make(dir);
  ReadOnlyFile file;
  EXPECT_EQ(OpenReadOnlyFile(path, &file), c.expected) << path;
  EXPECT_EQ(file.is_open(), c.expected == FileStatus::kOk);
  if (file.is_open()) {
    // The descriptor does not leak into programs the engine starts.
    EXPECT_NE(fcntl(file.handle, F_GETFD) & FD_CLOEXEC, 0);
  } else {
    EXPECT_EQ(file.size, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, ReadOnlyFileOpenTest, ::testing::ValuesIn(kOpenCases),
                         test::CaseName());

struct ReadCase {
  const char* name;
  uint64_t offset;
  size_t count;
  FileStatus expected;
};

// Reads from a 10-byte file.
const ReadCase kReadCases[] = {
    {"Whole", 0, 10, FileStatus::kOk},
    {"Middle", 3, 4, FileStatus::kOk},
    {"NothingAtTheEnd", 10, 0, FileStatus::kOk},
    {"OneByteOverTheEnd", 9, 2, FileStatus::kShortRead},
    {"NothingPastTheEnd", 11, 0, FileStatus::kShortRead},
    {"CountLargerThanTheFile", 0, 11, FileStatus::kShortRead},
    {"OffsetThatWouldWrap", UINT64_MAX, 2, FileStatus::kShortRead},
    {"OffsetBeyondAnyFile", uint64_t{1} << 63, 1, FileStatus::kShortRead},
};

class ReadOnlyFileReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadOnlyFileReadTest, ReadsOnlyInsideTheFile) {
  const ReadCase& c = GetParam();
  TempDir dir;
  ReadOnlyFile file;
  ASSERT_EQ(OpenReadOnlyFile(dir.Write("a.bin", "0123456789"), &file), FileStatus::kOk);
  ASSERT_EQ(file.size, 10u);
  std::string buffer(16, '-');
  EXPECT_EQ(ReadFileAt(file, c.offset, buffer.data(), c.count), c.expected);
  if (c.expected == FileStatus::kOk) {
    EXPECT_EQ(buffer.substr(0, c.count),
              std::string("0123456789").substr(static_cast<size_t>(c.offset), c.count));
  }
}

INSTANTIATE_TEST_SUITE_P(Ranges, ReadOnlyFileReadTest, ::testing::ValuesIn(kReadCases),
                         test::CaseName());

TEST(ReadOnlyFileTest, ClosedFileRefusesReads) {
  ReadOnlyFile file;
  char byte = 0;
  EXPECT_EQ(ReadFileAt(file, 0, &byte, 0), FileStatus::kOpenFailed);
  TempDir dir;
  ASSERT_EQ(OpenReadOnlyFile(dir.Write("a.bin", "ab"), &file), FileStatus::kOk);
  CloseReadOnlyFile(&file);
  CloseReadOnlyFile(&file);  // closing twice is harmless
  EXPECT_FALSE(file.is_open());
  EXPECT_EQ(ReadFileAt(file, 0, &byte, 1), FileStatus::kOpenFailed);
}

TEST(ReadOnlyFileTest, OwnershipMovesAndClosesOnce) {
  TempDir dir;
  const std::string a = dir.Write("a.bin", "aaaa");
  const std::string b = dir.Write("b.bin", "bb");
  int first_handle = -1;
  {
    ReadOnlyFile first;
    ASSERT_EQ(OpenReadOnlyFile(a, &first), FileStatus::kOk);
    first_handle = first.handle;
    ReadOnlyFile second = std::move(first);
    EXPECT_FALSE(first.is_open());  // NOLINT(bugprone-use-after-move): moved-from is closed
    EXPECT_EQ(second.handle, first_handle);
    EXPECT_EQ(second.size, 4u);
    // Opening into an open record closes its old file first.
    ASSERT_EQ(OpenReadOnlyFile(b, &second), FileStatus::kOk);
    EXPECT_EQ(second.size, 2u);
    char c = 0;
    EXPECT_EQ(ReadFileAt(second, 1, &c, 1), FileStatus::kOk);
    EXPECT_EQ(c, 'b');
  }
  // Every descriptor went back: the next open gets the lowest free number again.
  ReadOnlyFile again;
  ASSERT_EQ(OpenReadOnlyFile(a, &again), FileStatus::kOk);
  EXPECT_EQ(again.handle, first_handle);
}

}  // namespace
}  // namespace korvel::platform
