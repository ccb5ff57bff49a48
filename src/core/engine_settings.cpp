// The settings file and the save-folder settings.
#include "core/engine_settings.h"

#include <cstring>

#include "platform/file_system.h"

namespace korvel {

EngineSettings g_settings;
SaveFolderSettings g_save_settings;

namespace {

// Reads the first 128 bytes of `name` in the game folder as 32 little-endian fields.
bool ReadFields(const std::string& game_folder, const char* name,
                uint32_t fields[kSettingsFieldCount]) {
  std::memset(fields, 0, sizeof(uint32_t) * kSettingsFieldCount);
  std::string path;
  bool is_folder = false;
  if (platform::ResolvePath(game_folder, name, &path, &is_folder) != platform::FileStatus::kOk ||
      is_folder) {
    return false;
  }
  uint8_t bytes[kSettingsFieldCount * 4] = {};
  size_t got = 0;
  if (platform::ReadFileHead(path, bytes, sizeof(bytes), &got) != platform::FileStatus::kOk) {
    return false;
  }
  for (int32_t i = 0; i < kSettingsFieldCount; ++i) {
    const uint8_t* p = bytes + i * 4;
    fields[i] = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }
  return true;
}

}  // namespace

void ApplySettingsFields(const uint32_t fields[kSettingsFieldCount], EngineSettings* s) {
  if (fields[0] <= 1) s->draw_condition = static_cast<uint8_t>(fields[0]);
  if (fields[1] <= 1) s->unused_switch = static_cast<uint8_t>(fields[1]);
  if (fields[2] <= 1) s->sse_allowed = static_cast<uint8_t>(fields[2]);
  if (fields[3] <= 1) s->sse2_allowed = static_cast<uint8_t>(fields[3]);
  s->worker_maximum = fields[4] == 0 ? 1 : 2;
  if (fields[5] <= 1) s->display_object_switch = static_cast<uint8_t>(fields[5]);
  if (fields[6] <= 1) s->full_screen_sizing = fields[6] == 0 ? 1 : 0;
  if (fields[7] <= 3) {
    static constexpr uint8_t kScaling[4] = {1, 2, 3, 0};
    s->scaling_mode = kScaling[fields[7]];
  }
  if (fields[8] <= 3) {
    s->drawing_mode = static_cast<uint8_t>(3 - fields[8]);
    s->gpu_drawing = fields[8] <= 1 ? 1 : 0;
    s->cpu_smooth = fields[8] != 3 ? 1 : 0;
  }
  if (fields[9] <= 1) s->caption_double_click = static_cast<uint8_t>(fields[9]);
  if (fields[10] <= 1) s->script_switch = static_cast<uint8_t>(fields[10]);
  s->texture_format = 21;
  s->texture_bits = 32;
}

std::string SaveFolderForMode(uint32_t mode, const std::string& game_folder,
                              const UserFolders& user_folders) {
  static constexpr const char* kSuffix = "/MySoftware_SaveData/MyGame/save/";
  switch (mode) {
    case 1:
      return user_folders.app_data + kSuffix;
    case 2:
      return user_folders.documents + kSuffix;
    case 3:
      return user_folders.documents + "/My Games" + kSuffix;
    default: {
      std::string folder = game_folder;
      if (!folder.empty() && folder.back() != '/') folder += '/';
      return folder + "save/";
    }
  }
}

int32_t LoadEngineSettings(const std::string& game_folder) {
  g_settings = EngineSettings{};
  if (ReadFields(game_folder, "krcfg.dat", g_settings.fields)) {
    g_settings.file_found = true;
    ApplySettingsFields(g_settings.fields, &g_settings);
  }
  return 0;
}

int32_t LoadSaveFolderSettings(const std::string& game_folder, const UserFolders& user_folders) {
  g_save_settings = SaveFolderSettings{};
  if (ReadFields(game_folder, "krsfs.dat", g_save_settings.fields)) {
    g_save_settings.file_found = true;
    if (g_save_settings.fields[21] <= 3) g_save_settings.mode = g_save_settings.fields[21];
  }
  g_save_settings.save_folder = SaveFolderForMode(g_save_settings.mode, game_folder, user_folders);
  return 0;
}

void InitEngineSettings() {
  g_settings = EngineSettings{};
  g_save_settings = SaveFolderSettings{};
}

}  // namespace korvel
