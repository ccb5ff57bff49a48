// The tools' save-file writer against the engine's reader: what one writes, the other reads.
#include <gtest/gtest.h>

#include "lib/save_file_writer.h"
#include "script/save_format.h"

namespace korvel::tools {
namespace {

TEST(SaveFileWriter, EngineReadsEverySlot) {
  const std::vector<uint8_t> ints = IntVariableRaw({2}, {7, -7});
  const std::vector<uint8_t> layer = LayerRaw(1, 1, {1, 2, 3, 4});
  const std::vector<uint8_t> file = WriteSaveFileBytes({{9, 0, ints}, {1024, 1, layer}});
  ASSERT_FALSE(file.empty());
  SaveEntry entry;
  ASSERT_EQ(ReadSaveEntryFromBytes(file, 9, &entry), SaveReadStatus::kOk);
  EXPECT_EQ(entry.kind, 0);
  EXPECT_EQ(entry.raw, ints);
  ASSERT_EQ(ReadSaveEntryFromBytes(file, 1024, &entry), SaveReadStatus::kOk);
  EXPECT_EQ(entry.kind, 1);
  EXPECT_EQ(entry.raw, layer);
  EXPECT_EQ(ReadSaveEntryFromBytes(file, 1, &entry), SaveReadStatus::kEmptySlot);
  EXPECT_TRUE(WriteSaveFileBytes({{0, 0, ints}}).empty());
}

}  // namespace
}  // namespace korvel::tools
