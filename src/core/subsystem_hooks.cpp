// Defaults of the subsystem hooks.
//
// Entries served by the shell default to the real functions; the others default to harmless
// stand-ins, for tests and for the time before the program's wiring (src/engine_wiring.cpp and the
// subsystems' wiring functions it calls) has replaced them. Keep this true: every stand-in entry is
// replaced by the program; none is left unwired.
// run_compiler_link's stand-in does nothing; the program runs the link only when the game folder
// holds a compiler program, and otherwise reads the compiled files from krbin.
#include "core/subsystem_hooks.h"

#include "core/engine_settings.h"
#include "core/input_state.h"
#include "core/program_paths.h"
#include "core/random.h"
#include "core/save_blocks.h"
#include "core/system_objects.h"
#include "core/system_probes.h"
#include "core/user_folders.h"
#include "core/window_record.h"

#include "core/frame_step.h"

namespace korvel {

namespace {

int ReturnZero() { return 0; }
int ReturnZeroFor(int32_t) { return 0; }
void DoNothing() {}
void IgnoreDisplayMessage(int32_t, int32_t, int32_t, int32_t) {}
uint8_t ByteZero() { return 0; }
int LoadSettingsFiles() {
  LoadEngineSettings(g_paths.game_folder);
  LoadSaveFolderSettings(g_paths.game_folder, ResolveUserFolders());
  return 0;
}
int32_t WorkerMaximum() { return g_settings.worker_maximum; }
uint8_t GpuDrawing() { return g_settings.gpu_drawing; }
int InitStatics(uint32_t now) {
  SeedRandom(now);
  return 0;
}
void ProbeGameFolder() { ProbeWritePermission(g_paths.game_folder); }
int CreateTrees() {
  WindowRecord* main = g_windows[0];
  if (main == nullptr) return -1;
  NamedTreeNode* root = nullptr;
  if (CreateSystemObjects(main->logical_width, main->logical_height, &root) != 0) return -1;
  main->root_layer = root;
  return 0;
}
void WriteReport() { WriteSystemInfoFile(g_paths.game_folder); }
void FreeSaveCache() { FreeIdBuffers(-1); }
uint64_t NoMenuCommand(int, int32_t, int32_t) { return 0; }
bool NoDragLayer(int32_t, const char*, DragLayerView*) { return false; }
bool NotMenuBarEvent(const platform::Event&) { return false; }
void NoMenuBarWindow(bool) {}
void NoRootLayer(int32_t) {}

SubsystemHooks DefaultHooks() {
  return SubsystemHooks{
      .load_settings = LoadSettingsFiles,
      .select_pixel_kernels = DoNothing,
      .os_version_code = GetWindowsVersionCode,
      .worker_maximum = WorkerMaximum,
      .enumerate_monitors = DoNothing,
      .build_pack_tables = ReturnZero,
      .init_resources = ReturnZero,
      .mount_packs = ReturnZero,
      .data_is_packed = ByteZero,
      .run_compiler_link = ReturnZero,
      .init_statics = InitStatics,
      .probe_write_permission = ProbeGameFolder,
      .load_project_config = ReturnZero,
      .setup_input = SetupInput,
      .switch_display_mode = ReturnZero,
      .apply_window_settings = DoNothing,
      .create_system_objects = CreateTrees,
      .create_sound_device = ReturnZero,
      .open_joysticks = OpenJoysticks,
      .write_system_report = WriteReport,
      .load_script_data = ReturnZero,
      .start_worker_threads = ReturnZeroFor,
      .start_sound_engine = ReturnZero,
      .enter_full_screen = ReturnZero,
      .init_gpu = ReturnZero,
      .gpu_drawing = GpuDrawing,
      .apply_display_changes = DoNothing,
      .poll_input = PollInputState,
      .run_script_tasks = ReturnZero,
      .sweep_layer_changes = DoNothing,
      .render_window = ReturnZeroFor,
      .present_frame = PresentScreenBuffer,
      .reset_dirty_rects = DoNothing,
      .park_worker_threads = DoNothing,
      .show_popup_menu = NoMenuCommand,
      .present_movie = DoNothing,
      .stop_worker_threads = DoNothing,
      .release_gpu = DoNothing,
      .release_movies = DoNothing,
      .release_sound_device = DoNothing,
      .join_sound_thread = DoNothing,
      .destroy_menus = DoNothing,
      .leave_full_screen = ReturnZero,
      .release_display_objects = DoNothing,
      .free_text_surfaces = DoNothing,
      .free_save_cache = FreeSaveCache,
      .release_flash = DoNothing,
      .remove_tray_icon = DoNothing,
      .shutdown_resources = DoNothing,
      .find_drag_layer = NoDragLayer,
      .display_message = IgnoreDisplayMessage,
      .menu_bar_event = NotMenuBarEvent,
      .show_full_screen_menu_bar = NoMenuBarWindow,
      .mark_root_layer_changed = NoRootLayer,
  };
}

}  // namespace

SubsystemHooks g_hooks = DefaultHooks();

void ResetSubsystemHooks() { g_hooks = DefaultHooks(); }

}  // namespace korvel
