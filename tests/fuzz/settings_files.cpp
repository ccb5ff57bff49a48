// Fuzz target: the player's settings file krcfg.dat and the save-folder settings krsfs.dat, read
// from a game folder (the same bytes serve as both files).
#include <cstddef>
#include <cstdint>

#include "core/engine_settings.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  InitEngineSettings();
  fuzz::WriteScratchFile("krcfg.dat", data, size);
  fuzz::WriteScratchFile("krsfs.dat", data, size);
  UserFolders folders;
  folders.app_data = "/home/player/.local/share";
  folders.documents = "/home/player/Documents";
  LoadEngineSettings(fuzz::ScratchFolder());
  LoadSaveFolderSettings(fuzz::ScratchFolder(), folders);
  // Whatever the fields hold, the settings stay within their tables.
  const EngineSettings& s = g_settings;
  if (!s.file_found || s.draw_condition > 1 || s.scaling_mode > 3 || s.drawing_mode > 3 ||
      (s.worker_maximum != 1 && s.worker_maximum != 2) || g_save_settings.mode > 3 ||
      g_save_settings.save_folder.empty() || g_save_settings.save_folder.back() != '/') {
    __builtin_trap();
  }
  InitEngineSettings();
  return 0;
}
