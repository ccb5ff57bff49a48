// The fixture of the pack tests: a temporary game folder, packs written into it, mounting, and
// loads that return the bytes or the error reported.
#pragma once

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "pack_test_builder.h"
#include "resource/pack_mount.h"
#include "resource/pack_stream.h"
#include "resource_test_support.h"

namespace korvel::pack_test {

struct LoadResult {
  int32_t result = 0;  // LoadDataFile's result: the source, 0 not found, or -2 / -3
  std::string bytes;
  int32_t error = 0;  // the code reported, 0 when none
  ResourceLocator locator{};
};

class PackTest : public testing_support::ResourceTest {
 protected:
  void TearDown() override {
    UnmountPackArchives();
    ResetAllocFailureForTest();
    ResourceTest::TearDown();
  }

 public:
  // Writes a pack below the game folder and returns its path.
  std::string WritePack(const std::string& relative, const std::string& bytes) {
    WriteFile(relative, bytes);
    return root_ + relative;
  }

  int Mount() {
    PackMountConfig config;
    config.game_folder = root_;
    return MountPackArchivesWith(config);
  }

  // Reports counted since the last call: the code of the last one, 0 when there was none.
  int32_t TakeError() {
    const ErrorReportSnapshot report = LastErrorReport();
    const int32_t code = report.count != seen_reports_ ? report.code : 0;
    seen_reports_ = report.count;
    return code;
  }

  LoadResult Load(const std::string& name) {
    TakeError();
    LoadResult r;
    r.result = LoadDataFile(&r.locator, name.c_str(), true);
    if (r.result > 0) {
      r.bytes.assign(reinterpret_cast<const char*>(r.locator.data), r.locator.size);
      FreeLocatorData(&r.locator);
    }
    r.error = TakeError();
    return r;
  }

  // Overwrites bytes of a file in place.
  static void Patch(const std::string& path, uint64_t offset, const std::string& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
              static_cast<ssize_t>(bytes.size()));
    close(fd);
  }
  static void FlipByte(const std::string& path, uint64_t offset, const std::string& original) {
    Patch(path, offset, std::string(1, static_cast<char>(original[offset] ^ 0x5A)));
  }

  uint32_t seen_reports_ = 0;
};

}  // namespace korvel::pack_test
