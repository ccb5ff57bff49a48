// The settings file "krcfg.dat" (each field's value table, short and missing files), the save-folder
// settings "krsfs.dat", the user folders and the nine argument slots.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/engine_settings.h"
#include "core/program_paths.h"
#include "core/user_folders.h"
#include "platform/file_system.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

class SettingsFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/korvel-settings-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = std::string(pattern) + "/";
    InitEngineSettings();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
    platform::ForgetFolderListings();
  }

  void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(folder_ + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  // A file of `count` fields, all 0 except `field` = `value`.
  void WriteFields(const std::string& name, int field, uint32_t value, size_t count = 32) {
    std::vector<uint8_t> bytes(count * 4, 0);
    if (static_cast<size_t>(field) < count) {
      for (int i = 0; i < 4; ++i) bytes[field * 4 + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    WriteBytes(name, bytes);
  }

  std::string folder_;
};

// What one field's value gives; -1 in `value` means the file is missing.
struct FieldCase {
  int field;
  int64_t value;
  int32_t expected;                           // the setting the field drives
  int32_t (*read)(const EngineSettings& s);  // which setting
};

int32_t DrawCondition(const EngineSettings& s) { return s.draw_condition; }
int32_t WorkerMaximum(const EngineSettings& s) { return s.worker_maximum; }
int32_t FullScreenSizing(const EngineSettings& s) { return s.full_screen_sizing; }
int32_t ScalingMode(const EngineSettings& s) { return s.scaling_mode; }
// Drawing mode, CPU-smooth switch and GPU drawing as one number: mode * 100 + smooth * 10 + gpu.
int32_t Drawing(const EngineSettings& s) {
  return s.drawing_mode * 100 + s.cpu_smooth * 10 + s.gpu_drawing;
}

TEST_F(SettingsFilesTest, EachFieldFollowsItsValueTable) {
  const FieldCase cases[] = {
      {0, -1, 1, DrawCondition}, {0, 0, 0, DrawCondition},   {0, 1, 1, DrawCondition},
      {0, 2, 1, DrawCondition},  {0, 0xFFFFFFFF, 1, DrawCondition},
      {4, -1, 2, WorkerMaximum}, {4, 0, 1, WorkerMaximum},   {4, 1, 2, WorkerMaximum},
      {4, 7, 2, WorkerMaximum},
      {6, -1, 1, FullScreenSizing}, {6, 0, 1, FullScreenSizing}, {6, 1, 0, FullScreenSizing},
      {6, 2, 1, FullScreenSizing},
      {7, -1, 1, ScalingMode}, {7, 0, 1, ScalingMode}, {7, 1, 2, ScalingMode},
      {7, 2, 3, ScalingMode},  {7, 3, 0, ScalingMode}, {7, 4, 1, ScalingMode},
      {8, -1, 10, Drawing},  {8, 0, 311, Drawing}, {8, 1, 211, Drawing}, {8, 2, 110, Drawing},
      {8, 3, 0, Drawing},    {8, 4, 10, Drawing},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("field " + std::to_string(c.field) + " value " + std::to_string(c.value));
    fs::remove(folder_ + "krcfg.dat");
    platform::ForgetFolderListings();
    if (c.value >= 0) WriteFields("krcfg.dat", c.field, static_cast<uint32_t>(c.value));
    EXPECT_EQ(LoadEngineSettings(folder_), 0);
    EXPECT_EQ(g_settings.file_found, c.value >= 0);
    EXPECT_EQ(c.read(g_settings), c.expected);
    // The texture format is fixed whatever field 13 says.
    EXPECT_EQ(g_settings.texture_format, 21u);
    EXPECT_EQ(g_settings.texture_bits, 32u);
  }
}

TEST_F(SettingsFilesTest, ShortFilesLeaveMissingFieldsAtZero) {
  // Two fields only: field 0 = 0, field 1 = 0; everything after reads as 0.
  WriteFields("krcfg.dat", 1, 0, 2);
  LoadEngineSettings(folder_);
  EXPECT_TRUE(g_settings.file_found);
  EXPECT_EQ(g_settings.draw_condition, 0);
  EXPECT_EQ(g_settings.worker_maximum, 1);  // field 4 = 0
  EXPECT_EQ(g_settings.drawing_mode, 3);    // field 8 = 0
  EXPECT_EQ(g_settings.gpu_drawing, 1);

  // An odd length: the partial field keeps its bytes, the rest is 0.
  WriteBytes("krcfg.dat", {1, 0, 0, 0, 1, 0});
  LoadEngineSettings(folder_);
  EXPECT_EQ(g_settings.fields[0], 1u);
  EXPECT_EQ(g_settings.fields[1], 1u);
  EXPECT_EQ(g_settings.fields[2], 0u);

  // Longer than 128 bytes: only the first 32 fields count.
  std::vector<uint8_t> big(4096, 0xFF);
  WriteBytes("krcfg.dat", big);
  LoadEngineSettings(folder_);
  EXPECT_EQ(g_settings.fields[31], 0xFFFFFFFFu);
  EXPECT_EQ(g_settings.draw_condition, 1);
  EXPECT_EQ(g_settings.worker_maximum, 2);

  // An empty file exists: every field is 0.
  WriteBytes("krcfg.dat", {});
  LoadEngineSettings(folder_);
  EXPECT_TRUE(g_settings.file_found);
  EXPECT_EQ(g_settings.draw_condition, 0);

  // A folder of that name is no settings file.
  fs::remove(folder_ + "krcfg.dat");
  fs::create_directory(folder_ + "krcfg.dat");
  platform::ForgetFolderListings();
  LoadEngineSettings(folder_);
  EXPECT_FALSE(g_settings.file_found);
  EXPECT_EQ(g_settings.draw_condition, 1);
}

TEST_F(SettingsFilesTest, FileNameIsMatchedWithoutRegardToCase) {
  WriteFields("KRCFG.DAT", 0, 0);
  LoadEngineSettings(folder_);
  EXPECT_TRUE(g_settings.file_found);
  EXPECT_EQ(g_settings.draw_condition, 0);
}

TEST_F(SettingsFilesTest, SaveFolderModes) {
  const UserFolders user{"/data", "/docs"};
  const struct {
    int64_t mode;  // -1: no file
    uint32_t expected_mode;
    const char* expected_folder;
  } cases[] = {
      {-1, 0, "save/"},
      {0, 0, "save/"},
      {1, 1, "/data/MySoftware_SaveData/MyGame/save/"},
      {2, 2, "/docs/MySoftware_SaveData/MyGame/save/"},
      {3, 3, "/docs/My Games/MySoftware_SaveData/MyGame/save/"},
      {4, 0, "save/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    fs::remove(folder_ + "krsfs.dat");
    platform::ForgetFolderListings();
    if (c.mode >= 0) WriteFields("krsfs.dat", 21, static_cast<uint32_t>(c.mode));
    EXPECT_EQ(LoadSaveFolderSettings(folder_, user), 0);
    EXPECT_EQ(g_save_settings.mode, c.expected_mode);
    std::string expected = c.expected_folder;
    if (expected == "save/") expected = folder_ + expected;
    EXPECT_EQ(g_save_settings.save_folder, expected);
  }
  // Field 21 lies beyond a short file.
  WriteFields("krsfs.dat", 20, 2, 21);
  LoadSaveFolderSettings(folder_, user);
  EXPECT_TRUE(g_save_settings.file_found);
  EXPECT_EQ(g_save_settings.mode, 0u);
}

TEST(UserFoldersTest, DocumentsFolderFromUserDirs) {
  const std::string home = "/home/u";
  EXPECT_EQ(ParseDocumentsDir("XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n", home),
            "/home/u/Dokumente");
  EXPECT_EQ(ParseDocumentsDir("# XDG_DOCUMENTS_DIR=\"$HOME/x\"\nXDG_DOCUMENTS_DIR=\"/srv/d/\"", home),
            "/srv/d");
  EXPECT_EQ(ParseDocumentsDir("XDG_MUSIC_DIR=\"$HOME/Music\"\n", home), "");
  EXPECT_EQ(ParseDocumentsDir("XDG_DOCUMENTS_DIR=\"$HOME/\"\n", home), "");
  EXPECT_EQ(ParseDocumentsDir("XDG_DOCUMENTS_DIR=\"relative\"\n", home), "");
  EXPECT_EQ(ParseDocumentsDir("XDG_DOCUMENTS_DIR=\"$HOME/unterminated\n", home), "");

  const UserFolders folders = ResolveUserFolders();
  EXPECT_FALSE(folders.app_data.empty());
  EXPECT_EQ(folders.app_data.front(), '/');
  EXPECT_EQ(folders.documents.front(), '/');
}

TEST(CommandLineTest, OnlyTheFirstEightArgumentsReachTheSlots) {
  const char* argv[] = {"korvel", "--game", "/g", "a1", "a2", "a3", "a4",
                        "a5",     "a6",     "a7", "a8", "a9", "a10"};
  CommandLine line;
  std::string game, error;
  bool given = false;
  ASSERT_TRUE(ParseCommandLine(static_cast<int>(std::size(argv)), argv, &line, &game, &given,
                               &error));
  EXPECT_TRUE(given);
  EXPECT_EQ(game, "/g");
  EXPECT_EQ(line.count, 8);
  EXPECT_EQ(line.slots[0], "korvel");
  EXPECT_EQ(line.slots[1], "a1");
  EXPECT_EQ(line.slots[8], "a8");

  const char* few[] = {"korvel", "x"};
  ASSERT_TRUE(ParseCommandLine(2, few, &line, &game, &given, &error));
  EXPECT_FALSE(given);
  EXPECT_EQ(line.count, 1);
  EXPECT_EQ(line.slots[2], "");
}

}  // namespace
}  // namespace korvel
