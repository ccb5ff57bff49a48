// The player's settings file "krcfg.dat" (32 fields written by the settings tool) and the save-folder
// settings "krsfs.dat" (field 21: where save data lives).
#pragma once

#include <cstdint>
#include <string>

#include "core/user_folders.h"

namespace korvel {

inline constexpr int32_t kSettingsFieldCount = 32;

struct EngineSettings {
  uint32_t fields[kSettingsFieldCount] = {};  // as read; all 0 when the file is missing
  bool file_found = false;

  uint8_t draw_condition = 1;      // 0: draw while no movie is open; 1: while no movie plays
  uint8_t unused_switch = 1;       // field 1, read by nothing
  uint8_t sse_allowed = 1;         // field 2
  uint8_t sse2_allowed = 1;        // field 3
  int32_t worker_maximum = 2;      // field 4 = 0 turns multi-core use off (1)
  uint8_t display_object_switch = 0;  // field 5, no effect on the display
  uint8_t full_screen_sizing = 1;  // field 6 inverted; 0: full screen takes the desktop's size
  uint8_t scaling_mode = 1;        // field 7: 0..3 give 1, 2, 3, 0
  uint8_t drawing_mode = 0;        // field 8: 3 - field (0 CPU nearest .. 3 GPU ps_3_0)
  uint8_t cpu_smooth = 1;          // field 8 other than 3
  uint8_t gpu_drawing = 0;         // field 8 = 0 or 1
  uint8_t caption_double_click = 0;  // field 9
  uint8_t script_switch = 0;       // field 10, published through a system variable
  uint32_t texture_format = 21;    // field 13 is read but the format is always 32-bit ARGB
  uint32_t texture_bits = 32;
};

struct SaveFolderSettings {
  uint32_t fields[kSettingsFieldCount] = {};
  bool file_found = false;
  uint32_t mode = 0;        // field 21: 0..3
  std::string save_folder;  // UTF-8, ending with '/'
};

extern EngineSettings g_settings;
extern SaveFolderSettings g_save_settings;

// Applies the fields of a read file to the defaults: a value outside a field's table leaves the
// setting unchanged.
void ApplySettingsFields(const uint32_t fields[kSettingsFieldCount], EngineSettings* settings);

// The save folder of a mode: 0 "save/" in the game folder, 1 the application-data folder, 2 the
// documents folder, 3 the documents folder's "My Games", the last three followed by
// "MySoftware_SaveData/MyGame/save/". Another mode counts as 0.
std::string SaveFolderForMode(uint32_t mode, const std::string& game_folder,
                              const UserFolders& user_folders);

// Reads "krcfg.dat" from the game folder (its first 128 bytes; a shorter file leaves the missing
// fields at 0; a missing file leaves every default). Returns 0.
int32_t LoadEngineSettings(const std::string& game_folder);

// Reads field 21 of "krsfs.dat" from the game folder and sets the save folder. Returns 0.
int32_t LoadSaveFolderSettings(const std::string& game_folder, const UserFolders& user_folders);

void InitEngineSettings();

}  // namespace korvel
