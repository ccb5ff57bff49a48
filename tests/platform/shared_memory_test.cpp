// Named shared memory blocks and the child-process services of the compiler link.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "platform/process.h"
#include "platform/shared_memory.h"
#include "test_support.h"

namespace korvel::platform {
namespace {

std::string BlockName(const char* what) {
  return std::string("korvel-shm-test-") + what + "-" + std::to_string(getpid());
}

TEST(SharedMemory, BlocksAreZeroedSharedAndGoneAfterClose) {
  const std::string name = BlockName("a");
  SharedBlock block;
  ASSERT_TRUE(CreateSharedBlock(name, 4096, &block));
  EXPECT_TRUE(SharedBlockExists(name));
  for (size_t i = 0; i < block.size; ++i) ASSERT_EQ(block.data[i], 0) << i;
  StoreSharedU32(block.data + 8, 0xDEADBEEF);
  // A second creation of the name replaces a block left behind, zeroed again.
  SharedBlock again;
  ASSERT_TRUE(CreateSharedBlock(name, 16, &again));
  EXPECT_EQ(LoadSharedU32(again.data + 8), 0u);
  EXPECT_EQ(LoadSharedU32(block.data + 8), 0xDEADBEEFu) << "the old mapping stays valid";
  CloseSharedBlock(&block);
  CloseSharedBlock(&again);
  EXPECT_FALSE(SharedBlockExists(name));
  CloseSharedBlock(&again);  // closing twice is harmless
}

TEST(SharedMemory, BadNamesAndSizesAreRefused) {
  SharedBlock block;
  EXPECT_FALSE(CreateSharedBlock("", 16, &block));
  EXPECT_FALSE(CreateSharedBlock("a/b", 16, &block));
  EXPECT_FALSE(CreateSharedBlock(BlockName("zero"), 0, &block));
  EXPECT_EQ(block.data, nullptr);
  EXPECT_FALSE(SharedBlockExists(BlockName("zero")));
}

TEST(ChildProcess, StartsInItsFolderAndEnds) {
  test::TempDir dir;
  const int64_t pid = StartProcess("/bin/sh", {"-c", "pwd > where.txt"}, {dir.path(), false});
  ASSERT_GT(pid, 0);
  while (!ProcessHasEnded(pid)) SleepRealTimeMs(5);
  EXPECT_EQ(test::ReadFile(dir.File("where.txt")), dir.path() + "\n");
  EXPECT_TRUE(ProcessHasEnded(pid)) << "asking again after it was reaped";
  EXPECT_EQ(StartProcess("/nonexistent/program", {}, {dir.path(), false}), -1);
  // A bare name is searched on PATH only when asked to.
  EXPECT_EQ(StartProcess("sh", {"-c", "true"}, {dir.path(), false}), -1);
  const int64_t searched = StartProcess("sh", {"-c", "true"}, {dir.path(), true});
  ASSERT_GT(searched, 0);
  EXPECT_EQ(WaitProcess(searched), 0);
}

}  // namespace
}  // namespace korvel::platform
