// Connects the subsystems to the shell's hook table.
#include "engine_wiring.h"

#include <string>
#include <vector>

#include "commands/desktop_command_handlers.h"
#include "commands/file_commands.h"
#include "commands/flash_window.h"
#include "commands/menu_bar.h"
#include "commands/menu_commands.h"
#include "commands/menu_draw.h"
#include "commands/menu_item.h"
#include "commands/menu_sets.h"
#include "commands/movie_commands.h"
#include "commands/multi_frame_commands.h"
#include "commands/popup_menu.h"
#include "commands/registry_command.h"
#include "commands/save_commands.h"
#include "commands/screen_settings_command.h"
#include "commands/tray_command.h"
#include "commands/window_commands.h"
#include "core/appended_data.h"
#include "core/engine_settings.h"
#include "core/program_paths.h"
#include "core/subsystem_hooks.h"
#include "core/random.h"
#include "core/system_probes.h"
#include "layer/compositor.h"
#include "layer/dirty_rects.h"
#include "layer/draw_command.h"
#include "layer/layer_command.h"
#include "layer/layer_create.h"
#include "layer/layer_effects.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "pixel/pixel_kernels.h"
#include "pixel/worker_pool.h"
#include "resource/compiler_link.h"
#include "resource/data_file_lookup.h"
#include "render/display_hooks.h"
#include "render/drawing_mode.h"
#include "render/frame_presentation.h"
#include "render/gpu_lifecycle.h"
#include "resource/pack_mount.h"
#include "script/project_config_file.h"
#include "script/script_data.h"
#include "script/task_payload.h"
#include "script/task_runner.h"
#include "text/message_start.h"
#include "text/font_commands.h"
#include "text/draw_text.h"
#include "text/font_registry.h"
#include "sound/sound_channel.h"
#include "sound/sound_commands.h"
#include "sound/sound_engine.h"
#include "sound/sound_startup.h"

namespace korvel {

namespace {

int LoadCompiledFile(const char* name, std::vector<uint8_t>* out);

int InitResources() {
  InitResourceLookup(g_paths.game_folder);
  g_resource.packs_inside_executable = g_appended.packs_inside_executable;
  // Compiled files and error texts come through the data sources from now on (packs included).
  SetScriptDataLoader(LoadCompiledFile);
  return 0;
}

int RunCompilerLinkHook() { return RunCompilerLinkAtStartup(g_paths.game_folder) == 0 ? 0 : -1; }

void SelectKernels() { SelectPixelKernels(g_settings.sse_allowed, g_settings.sse2_allowed); }
int StartWorkers(int32_t count) { return StartWorkerThreads(g_worker_pool, count) ? 0 : -1; }
void StopWorkers() { StopWorkerThreads(g_worker_pool); }
void ParkWorkerThreads() { ParkWorkers(g_worker_pool); }

// One-time tables and the per-run state of the layer, presentation and text code; the font
// registry. 0, or -1 when start-up cannot go on (already reported).
int InitStatics(uint32_t now) {
  SeedRandom(now);
  SeedEffectRandom(now ^ 0x9E3779B9u);  // the block shuffle draws apart from the scripts
  InitLayerState();
  InitCompositor();
  InitDrawingMode();
  InitFramePresentation();
  InstallGpuFrameHooks();
  g_probes.directx_version = DirectXVersionFigure(GpuDrawingAvailable());
  InitFlashWindow();
  InitMultiFrameState();
  InitMovieCommands();
  InitTrayState();
  ResetRegistry("");
  if (EnumerateFonts() != 0) return -1;
  if (StartMessageText() != 0) return -1;
  InitMenuBar();
  return 0;
}

// The menu bar sits outside the frame: shown again after the window's frame where it changed.
int PresentFrameAndMenuBar(int window) {
  RepaintFrameUnderMenus(window);
  const int result = PresentFrame(window);
  PresentWindowMenuBar(window);
  return result;
}

void DestroyMenus() {
  ShutdownMenuBar();
  DestroyAllMenuSets();
}

// The menu font goes with the others, before the platform lets go of the font files.
void FreeAllFonts() {
  CloseMenuFont();
  FreeFonts();
}

void ShutdownResources() {
  ShutdownMultiFrameState();
  UnmountPackArchives();
  ShutdownResourceLookup();
}

// Compiled files and error texts come through the four data sources: 0 loaded, -1 not found,
// -2 unreadable (already reported), -3 a pack could not be opened.
int LoadCompiledFile(const char* name, std::vector<uint8_t>* out) {
  out->clear();
  ResourceLocator locator{};
  const std::string path = std::string("krbin\\") + name;
  const int32_t result = LoadDataFile(&locator, path.c_str(), false);
  if (result == 0) return -1;
  if (result == -2) return -3;
  if (result < 0) return -2;
  out->assign(locator.data, locator.data + locator.size);
  FreeLocatorData(&locator);
  return 0;
}

}  // namespace

void WireSubsystems() {
  ResetSubsystemHooks();
  g_hooks.init_resources = InitResources;
  g_hooks.shutdown_resources = ShutdownResources;
  g_hooks.select_pixel_kernels = SelectKernels;
  g_hooks.start_worker_threads = StartWorkers;
  g_hooks.stop_worker_threads = StopWorkers;
  g_hooks.park_worker_threads = ParkWorkerThreads;
  g_hooks.init_statics = InitStatics;
  g_hooks.sweep_layer_changes = SweepLayerChanges;
  g_hooks.render_window = RenderWindowIfDirty;
  g_hooks.present_frame = PresentFrameAndMenuBar;
  g_hooks.reset_dirty_rects = ResetAllLayerDirtyRects;
  g_hooks.release_display_objects = ShutdownFramePresentation;
  WireDisplayHooks();
  InstallGpuPath();
  g_hooks.free_text_surfaces = FreeAllFonts;
  // Each tree's payloads belong to the subsystem that defines them.
  RegisterLayerTree();
  RegisterTaskTree();
  RegisterSoundTree();
  g_hooks.create_sound_device = CreateSoundDevice;
  g_hooks.start_sound_engine = StartSoundEngine;
  g_hooks.release_sound_device = ReleaseSoundDevice;
  g_hooks.join_sound_thread = JoinSoundThread;
  RegisterSoundCommandHandlers();
  RegisterMenuTree();
  SetRootLayerCreator(CreateWindowRootLayer);
  RegisterLayerCommandHandlers();
  RegisterDrawCommandHandler();
  g_draw_hooks.set_font_slot = SetFontSlot;
  g_draw_hooks.draw_text = DrawTextIntoLayer;
  RegisterMessageCommandHandlers();
  RegisterFontCommandHandlers();
  RegisterSaveCommandHandlers();
  RegisterFileCommandHandlers();
  RegisterRegistryCommandHandler();
  RegisterWindowCommandHandlers();
  RegisterMenuCommandHandlers();
  g_hooks.destroy_menus = DestroyMenus;
  g_hooks.menu_bar_event = HandleMenuBarEvent;
  g_hooks.show_full_screen_menu_bar = ShowFullScreenMenuBar;
  g_hooks.mark_root_layer_changed = MarkRootLayerWhollyChanged;
  g_rebuild_menu_bar = RebuildMenuBar;
  g_tray_menu_builder = BuildTrayMenuSet;
  g_hooks.show_popup_menu = ShowPopupMenuSet;
  RegisterDesktopCommandHandlers();
  RegisterMovieCommandHandlers();
  RegisterMultiFrameCommandHandlers();
  RegisterFlashCommandHandlers();
  g_hooks.release_flash = ReleaseFlashWindow;
  g_hooks.build_pack_tables = BuildPackTables;
  g_hooks.mount_packs = MountPackArchives;
  g_hooks.run_compiler_link = RunCompilerLinkHook;
  g_hooks.data_is_packed = DataIsPacked;
  g_hooks.load_project_config = LoadProjectConfig;
  g_hooks.load_script_data = LoadScriptData;
  g_hooks.run_script_tasks = RunScriptTasks;
}

}  // namespace korvel
