// The loaders: whole files from disk (4 GiB or more and unreadable files are errors), copies from
// the preload banks and the compiler output, memory failures, stale locators, and find-then-load
// that a concurrent bank change cannot split.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "resource/compiler_output.h"
#include "resource/loose_files.h"
#include "resource_test_support.h"

namespace korvel {
namespace {

using testing_support::ResourceTest;

// prefix + number, built by appending (GCC 12 warns falsely about "x" + std::to_string(i)).
std::string Numbered(const char* prefix, int i) {
  std::string text = prefix;
  text += std::to_string(i);
  return text;
}

class LoadersTest : public ResourceTest {};

TEST_F(LoadersTest, DiskFilesLoadWhole) {
  std::string bytes(100000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  WriteFile("Krbin/KRE.kbn", bytes);
  WriteFile("empty.bin", "");
  ResourceLocator locator{};
  ASSERT_EQ(FindDataFile(&locator, "krbin\\kre.kbn", false), kSourceDisk);
  ASSERT_EQ(LoadFromDisk(&locator, "krbin\\kre.kbn"), 0);
  EXPECT_EQ(Loaded(locator), bytes);
  FreeLocatorData(&locator);
  EXPECT_EQ(locator.data, nullptr);

  ASSERT_EQ(LoadDataFile(&locator, "empty.bin", false), kSourceDisk);
  EXPECT_EQ(locator.size, 0u);
  EXPECT_NE(locator.data, nullptr);
  FreeLocatorData(&locator);
}

TEST_F(LoadersTest, FilesOf4GiBOrMoreAreReadErrors) {
  for (const uint64_t size : {0x100000000ull, 0x100000005ull}) {
    SCOPED_TRACE(size);
    InitEngineState();
    const std::string path = root_ + "huge.bin";
    const int fd = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
      close(fd);
      GTEST_SKIP() << "no sparse files here";
    }
    close(fd);
    ResourceLocator locator{};
    ASSERT_EQ(FindDataFile(&locator, "huge.bin", false), kSourceDisk);
    EXPECT_EQ(LoadFromDisk(&locator, "huge.bin"), -3);
    EXPECT_EQ(locator.data, nullptr);
    EXPECT_EQ(locator.size, 0u);
    EXPECT_EQ(LastErrorReport().code, 104010);
    EXPECT_TRUE(QuitRequested());
    std::filesystem::remove(path);
  }
}

TEST_F(LoadersTest, VanishedOrUnreadableDiskFiles) {
  WriteFile("gone.png", "x");
  ResourceLocator locator{};
  ASSERT_EQ(FindDataFile(&locator, "gone.png", true), kSourceDisk);
  std::filesystem::remove(root_ + "gone.png");
  EXPECT_EQ(LoadFromDisk(&locator, "gone.png"), -3);
  EXPECT_EQ(LastErrorReport().code, 104010);

  if (geteuid() != 0) {  // root reads anything
    InitEngineState();
    WriteFile("locked.png", "x");
    std::filesystem::permissions(root_ + "locked.png", std::filesystem::perms::none);
    EXPECT_EQ(LoadDataFile(&locator, "locked.png", true), -3);
    EXPECT_EQ(LastErrorReport().code, 104010);
  }
}

TEST_F(LoadersTest, MemorySourcesAreCopied) {
  AddBankRow(3, "a.png", kTypePng, "bank bytes");
  ASSERT_EQ(RegisterCompilerOutputFile("krbin\\krc.kbn", reinterpret_cast<const uint8_t*>("cc"), 2), 0);
  ResourceLocator locator{};
  ASSERT_EQ(LoadDataFile(&locator, "A.PNG", true), kSourcePreloadBank);
  EXPECT_EQ(locator.bank, 3);
  EXPECT_EQ(locator.bank_row, 0);
  EXPECT_EQ(Loaded(locator), "bank bytes");
  EXPECT_NE(locator.data, g_preload_banks[3].rows[0].data);  // a copy the caller owns
  FreeLocatorData(&locator);

  ASSERT_EQ(LoadDataFile(&locator, "KRBIN\\krc.kbn", false), kSourceCompilerOutput);
  EXPECT_EQ(locator.compiler_index, 0);
  EXPECT_EQ(Loaded(locator), "cc");
  FreeLocatorData(&locator);
}

TEST_F(LoadersTest, OutOfMemoryAndStaleLocators) {
  AddBankRow(0, "a.png", kTypePng, "bank");
  ASSERT_EQ(RegisterCompilerOutputFile("b.kbn", reinterpret_cast<const uint8_t*>("cc"), 2), 0);
  ResourceLocator locator{};
  ASSERT_EQ(FindInPreloadBanks(&locator, "a.png"), kSourcePreloadBank);
  SetAllocFailureForTest(0);
  EXPECT_EQ(LoadFromPreloadBank(&locator, "a.png"), -3);
  ResetAllocFailureForTest();
  EXPECT_EQ(LastErrorReport().code, 104030);

  InitEngineState();
  ASSERT_EQ(FindInCompilerOutput(&locator, "b.kbn"), kSourceCompilerOutput);
  SetAllocFailureForTest(0);
  EXPECT_EQ(LoadFromCompilerOutput(&locator, "b.kbn"), -3);
  ResetAllocFailureForTest();
  EXPECT_EQ(LastErrorReport().code, 104030);

  // A locator whose row or entry no longer exists reads nothing out of bounds.
  InitEngineState();
  locator.bank = 0;
  locator.bank_row = 7;
  EXPECT_EQ(LoadFromPreloadBank(&locator, "a.png"), -3);
  EXPECT_EQ(LastErrorReport().code, 104010);
  locator.bank = 9;
  EXPECT_EQ(LoadFromPreloadBank(&locator, "a.png"), -3);
  locator.compiler_index = 5;
  EXPECT_EQ(LoadFromCompilerOutput(&locator, "b.kbn"), -3);
  EXPECT_EQ(locator.data, nullptr);
}

TEST_F(LoadersTest, BanksHoldAtMost512Rows) {
  for (int32_t i = 0; i < kPreloadBankMaxRows; ++i) AddBankRow(1, Numbered("r", i), 0, "x");
  auto* data = static_cast<uint8_t*>(AllocZeroed(1));
  EXPECT_EQ(PushPreloadBankRow(1, "over", 0, data, 1), -1);  // the data is freed
  EXPECT_EQ(g_preload_banks[1].count, kPreloadBankMaxRows);
  ResourceLocator locator{};
  EXPECT_EQ(FindInPreloadBanks(&locator, "R511"), kSourcePreloadBank);
  EXPECT_EQ(locator.bank_row, 511);
}

TEST_F(LoadersTest, FindThenLoadCannotBeSplitByABankChange) {
  // Bank 0 holds rows "f0".."f7" whose bytes are their names. Another thread keeps rotating the
  // rows (oldest to newest, as a repeated preload does) under the engine lock; every load must
  // still give the bytes of the name it asked for.
  for (int i = 0; i < 8; ++i) AddBankRow(0, Numbered("f", i), 0, Numbered("f", i));
  std::atomic<bool> stop{false};
  std::thread rotator([&stop] {
    while (!stop.load()) {
      std::lock_guard<EngineMutex> lock(EngineLock());
      PreloadBank& bank = g_preload_banks[0];
      const PreloadRow first = bank.rows[0];
      for (int32_t r = 1; r < bank.count; ++r) bank.rows[r - 1] = bank.rows[r];
      bank.rows[bank.count - 1] = first;
    }
  });
  int mismatches = 0;
  for (int i = 0; i < 4000; ++i) {
    const std::string name = Numbered("f", i % 8);
    ResourceLocator locator{};
    ASSERT_EQ(LoadDataFile(&locator, name.c_str(), false), kSourcePreloadBank);
    if (Loaded(locator) != name) ++mismatches;
    FreeLocatorData(&locator);
  }
  stop.store(true);
  rotator.join();
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace korvel
