// Start-up, the main loop and shutdown.
#include "core/startup.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>

#include "core/appended_data.h"
#include "core/command_line_help.h"
#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/engine_state.h"
#include "core/engine_timers.h"
#include "core/engine_window.h"
#include "core/error_dialog.h"
#include "core/error_report.h"
#include "core/frame_pacer.h"
#include "core/frame_step.h"
#include "core/input_state.h"
#include "core/program_paths.h"
#include "core/project_config.h"
#include "core/published_placement.h"
#include "core/screen_saver.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "core/subsystem_hooks.h"
#include "core/system_objects.h"
#include "core/system_probes.h"
#include "core/window_proc.h"
#include "core/window_record.h"
#include "platform/file_system.h"
#include "platform/instance_lock.h"
#include "platform/platform.h"
#include "platform/process.h"

namespace korvel {

namespace {

struct ShellState {
  platform::InstanceLock global_lock;
  platform::InstanceLock installation_lock;
  bool raise_listener = false;
  std::thread game_thread;
  uint8_t quit_posted = 0;  // the loop has asked the main window to close once
  int32_t processor_count = 1;
  int32_t worker_count = 1;
  uint8_t sound_enabled = 1;
  uint8_t gpu_drawing = 0;
  uint8_t info_notice = 0;  // started with "/info"
};

ShellState g_shell;

bool FirstArgumentIs(const char* text) { return strcasecmp(g_command_line.slots[1].c_str(), text) == 0; }

// "/krcfg": the settings tool lives beside the game; the run ends either way.
void StartSettingsTool() {
  namespace fs = std::filesystem;
  for (const char* name : {"KRSetup", "krsetup", "KRSetup.sh"}) {
    const fs::path tool = fs::path(g_paths.game_folder) / name;
    if (platform::IsExecutableFile(tool.string())) {
      platform::StartProcess(tool.string(), {"/krcfg"});
      return;
    }
  }
  ShowMessageF(Sjis("エラー").c_str(), "%s", Sjis("設定ツール KRSetup が見つかりません。").c_str());
}

void ProbeSystem() {
  const unsigned hw = std::thread::hardware_concurrency();
  g_shell.processor_count = hw == 0 ? 1 : static_cast<int32_t>(hw);
  const int32_t maximum = std::clamp(g_hooks.worker_maximum(), 1, 2);
  g_shell.worker_count = std::clamp(g_shell.processor_count, 1, maximum);
  const platform::DisplayMode mode = platform::GetDesktopMode();
  g_display.desktop_width = mode.width;
  g_display.desktop_height = mode.height;
  g_display.desktop_bits = mode.bits_per_pixel;
  g_display.desktop_refresh = mode.refresh_hz < 60 ? -1 : mode.refresh_hz;
  g_hooks.enumerate_monitors();
}

void GameThreadMain() {
  platform::SetClockThread(true);
  RunGameLoop();
  // Raised before leaving the clock, so the main thread's polls see it without moving the clock on.
  {
    std::lock_guard lock(EngineLock());
    g_engine.game_thread_ended = 1;
  }
  platform::SetClockThread(false);
}

// Waits, polling every millisecond, until a thread's ended flag is set; 255 means never started.
// The main thread keeps serving requests meanwhile: an ending game thread may still need it.
// The flag is read without the engine lock: the ending thread may hold the lock while it waits for
// the main thread (a dialog), and the lock-free read lets this loop serve it.
void WaitForThreadEnd(const std::atomic<uint8_t>* ended) {
  for (;;) {
    if (ended->load() != 0) return;
    platform::ServeMainThreadRequests();
    platform::SleepMs(1);
  }
}

void ReleaseInstanceLocks() {
  platform::ReleaseLock(&g_shell.global_lock);
  platform::ReleaseLock(&g_shell.installation_lock);
}

void Restart() {
  std::vector<std::string> args;
  if (g_paths.game_given) {
    args.push_back("--game");
    args.push_back(g_paths.game_argument);
  }
  platform::StartProcess(g_paths.executable, args);
}

int ExitStatus() {
  if (platform::HeadlessAbortStatus() != 0) return 2;
  if (g_shell.info_notice == 0 && g_engine.fatal_quit.load() != 0) return 1;
  return 0;
}

}  // namespace

void InitShellState() {
  InitEngineState();
  InitFrameState();
  InitFramePacer();
  InitDisplayState();
  InitProjectConfig();
  InitEngineSettings();
  InitSystemProbes();
  InitEngineTimers();
  InitInputState();
  FreeWindowRecords();
  ResetWindowMessages();
  g_shell.raise_listener = false;
  g_shell.quit_posted = 0;
  g_shell.processor_count = 1;
  g_shell.worker_count = 1;
  g_shell.sound_enabled = 1;
  g_shell.gpu_drawing = 0;
  g_shell.info_notice = 0;
  g_appended = AppendedData{};
}

int InitSequence() {
  g_hooks.load_settings();
  g_frame.draw_while_movie_closed_only = g_settings.draw_condition == 0 ? 1 : 0;
  g_hooks.select_pixel_kernels();

  const uint8_t os_code = g_hooks.os_version_code();
  ProbeSystem();
  if (os_code >= 1 && os_code <= 19) {
    platform::MessageBox(platform::kNoWindow, Sjis("エラー"),
                         Sjis("Windows95/NT3.5/NT4 では起動できません。"), platform::kMbOk);
    return -1;
  }
  if (g_hooks.build_pack_tables() != 0) return -1;

  if (FirstArgumentIs("/krcfg")) {
    StartSettingsTool();
    return -1;
  }
  if (FirstArgumentIs("/info")) {
    g_shell.info_notice = 1;
    SetErrorDialogTitle(Sjis("License Information").c_str());
    ReportError(100000, true);
    return -1;
  }

  if (g_hooks.init_resources() != 0) return -1;
  if (g_hooks.mount_packs() != 0) return -1;
  if (g_hooks.data_is_packed() == 0 && g_hooks.run_compiler_link() != 0) return -1;

  if (g_hooks.init_statics(platform::NowMs()) != 0) return -1;
  g_hooks.probe_write_permission();

  if (CreateWindowRecords() != 0) return -1;
  if (g_hooks.load_project_config() != 0) return -1;
  g_engine.threaded_flag = g_project.threaded;

  WindowRecord* main = g_windows[0];
  main->logical_width = g_project.screen_width;
  main->logical_height = g_project.screen_height;
  int32_t client_w = main->logical_width;
  int32_t client_h = main->logical_height;
  if (g_display.desktop_width > 0 && g_display.desktop_height > 0 &&
      (client_w > g_display.desktop_width || client_h > g_display.desktop_height)) {
    client_w = g_display.desktop_width / 2;
    client_h = g_display.desktop_height / 2;
  }
  if (AllocateScreenBuffer(main->logical_width, main->logical_height) != 0) return -1;
  SetWindowedDisplay(client_w, client_h);

  InitWindowObject(main, g_project.title);
  main->show_on_first_frame = g_project.show_main_on_first_frame;
  if (CreateEngineWindow(main, main->title) != 1) {
    platform::MessageBox(platform::kNoWindow, Sjis("エラー"),
                         Sjis("ウィンドウが生成できませんでした。"), platform::kMbOk);
    return -1;
  }
  if (client_w != main->logical_width || client_h != main->logical_height) {
    platform::SetWindowClientSize(main->handle, client_w, client_h);
  }
  SetErrorDialogOwner(main->handle);
  SetErrorDialogDebug(g_project.debug);

  // Visible to start with, as the display counter that setting up input puts at 0 says.
  platform::ShowCursor(true);
  g_hooks.setup_input();
  if (g_hooks.switch_display_mode() != 0) g_display.full_screen = 0;
  g_hooks.apply_window_settings();
  if (g_hooks.create_system_objects() != 0) return -1;

  if (g_shell.sound_enabled != 0) g_shell.sound_enabled = g_hooks.create_sound_device() == 0;
  g_hooks.open_joysticks();

  g_pacer.last_stamp = platform::NowMs();
  g_engine.start_time = platform::GetLocalTime();

  g_shell.gpu_drawing = g_hooks.gpu_drawing();
  if (g_shell.gpu_drawing != 0) g_hooks.write_system_report();

  if (g_hooks.load_script_data() != 0) {
    RequestQuit();
    return 1;
  }

  if (g_hooks.start_worker_threads(g_shell.worker_count) != 0) return -1;
  if (g_hooks.start_sound_engine() != 0) return -1;

  if (g_hooks.enter_full_screen() == 1) {
    platform::ShowWindow(main->handle, platform::ShowCommand::kShow);
    const uint32_t start = platform::NowMs();
    while (platform::NowMs() - start < 1500) platform::SleepMs(10);
  }

  const uint32_t now = platform::NowMs();
  SetTimerStartStamps(now);
  g_pacer.reference = now;

  if (g_shell.gpu_drawing != 0 && g_hooks.init_gpu() == 1) {
    g_shell.gpu_drawing = 0;
    platform::MessageBox(platform::kNoWindow, "",
                         Sjis("GPU描画が出来ませんでした。CPU描画に移行します。"),
                         platform::kMbOk);
  }
  // The game thread starts last: the drawing mode, the GPU hooks, the timer stamps and the pacer's
  // reference are settled by then, and it is the only thread to touch them from here on.
  // The main thread maps the mouse with this until the first frame publishes its own.
  PublishWindowPlacement();
  if (g_engine.threaded_flag != 0) StartMainLoopThread();
  return 0;
}

void RunGameLoop() {
  const uint64_t limit = platform::FrameLimit();
  for (;;) {
    // Headless runs apply this frame's scripted input before anything polls it.
    platform::BeginFrame(g_frame.frame_counter + 1);
    if (RunFrame() != 0) break;
    if (limit != 0 && g_frame.frame_counter >= limit) break;
  }
  RequestQuit();
}

void StartMainLoopThread() {
  {
    std::lock_guard lock(EngineLock());
    g_engine.game_thread_ended = 0;
  }
  g_shell.game_thread = std::thread(GameThreadMain);
}

void RunMainLoop() {
  const uint64_t limit = platform::FrameLimit();
  PumpMessages();
  while (g_engine.running_flag.load() != 0) {
    if (!QuitRequested()) {
      if (g_engine.threaded_flag == 0) {
        // Headless runs apply this frame's scripted input, and its events are handled, before the
        // focus, mouse and keyboard are polled.
        platform::BeginFrame(g_frame.frame_counter + 1);
        PumpMessages();
      }
      PollMouseAndKeyboardFocus();
      if (g_engine.threaded_flag == 0) {
        if (RunFrame() != 0) {
          RequestQuit();
          g_shell.quit_posted = 1;
        } else if (limit != 0 && g_frame.frame_counter >= limit) {
          RequestQuit();
          g_shell.quit_posted = 1;
        }
      } else {
        platform::SleepMs(1);
      }
    } else {
      // The quit flag was set outside the frame's result (a fatal report during event handling,
      // a confirmed close): ask the main window to close once, then wait for the quit message.
      if (g_shell.quit_posted == 0) {
        g_shell.quit_posted = 1;
        RequestQuit();
      }
      platform::SleepMs(1);
    }
    PumpMessages();
  }
}

void ShutdownSequence() {
  // The threads poll the quit flag; it must be set before waiting for them to end.
  SetQuitFlag();
  WaitForThreadEnd(&g_engine.sound_thread_ended);
  g_hooks.join_sound_thread();
  WaitForThreadEnd(&g_engine.game_thread_ended);
  if (g_shell.game_thread.joinable()) g_shell.game_thread.join();

  g_hooks.stop_worker_threads();
  g_hooks.release_gpu();
  g_hooks.release_movies();
  if (g_shell.sound_enabled != 0) g_hooks.release_sound_device();
  g_hooks.destroy_menus();
  if (g_display.full_screen != 0 && g_hooks.leave_full_screen() == 0) {
    g_display.full_screen = 0;
  }
  // The cursor goes back to the desktop visible, whatever the display counter holds.
  platform::ShowCursor(true);
  g_hooks.release_display_objects();
  g_hooks.free_text_surfaces();
  g_hooks.free_save_cache();
  g_hooks.release_flash();
  DestroySystemObjects();
  g_hooks.shutdown_resources();

  for (auto* record : g_windows) {
    if (record != nullptr && record->handle != platform::kNoWindow) {
      platform::DestroyWindow(record->handle);
      record->handle = platform::kNoWindow;
    }
  }
  FreeWindowRecords();
}

int EngineMain(int argc, const char* const* argv) {
  // --help and --version answer before anything else starts: no window, lock or game lookup.
  switch (FindCommandLineRequest(argc, argv)) {
    case CommandLineRequest::kHelp:
      std::fputs(UsageText().c_str(), stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case CommandLineRequest::kVersion:
      std::fputs(VersionText().c_str(), stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case CommandLineRequest::kRunGame:
      break;
  }
  InitShellState();
  ShutdownErrorReporting();
  InitErrorReporting();

  if (!platform::InitPlatform()) return 2;
  platform::InstallTerminationHandlers();
  platform::SetClockThread(true);

  int status = 0;
  std::string error;
  std::string game_argument;
  bool game_given = false;
  if (!ParseCommandLine(argc, argv, &g_command_line, &game_argument, &game_given, &error) ||
      !ResolveProgramPaths(game_argument, game_given, &g_paths, &error)) {
    std::fprintf(stderr, "korvel: %s\n", error.c_str());
    platform::ShutdownPlatform();
    return 2;
  }

  // Only one start of one game at a time: a second start raises the running one and ends.
  if (platform::AcquireGlobalLock(&g_shell.global_lock) != platform::LockResult::kAcquired) {
    platform::ShutdownPlatform();
    return 0;
  }
  if (platform::AcquireInstallationLock(g_paths.identity, &g_shell.installation_lock) !=
      platform::LockResult::kAcquired) {
    platform::SendRaise(g_paths.identity);
    ReleaseInstanceLocks();
    platform::ShutdownPlatform();
    return 0;
  }
  platform::ReleaseLock(&g_shell.global_lock);
  g_shell.raise_listener = platform::StartRaiseListener(g_paths.identity);

  if (!platform::ChangeDirectory(g_paths.game_folder)) {
    std::fprintf(stderr, "korvel: cannot enter the game folder %s\n", g_paths.game_folder.c_str());
  }

  // Packs appended to the program itself, and the screen-saver switches of a screen-saver build.
  ProbeAppendedData(g_paths.executable, &g_appended);
  bool end_run = HandleScreenSaverCommandLine(g_appended.screen_saver_build,
                                              g_command_line) != 0;

  if (!end_run && !g_appended.packs_inside_executable &&
      !FolderHoldsGameData(g_paths.game_folder)) {
    // A plain word before the coded report that follows when the scripts cannot be found.
    std::fprintf(stderr,
                 "korvel: %s holds no game (no krbin folder, no .kpf pack, no data appended to the "
                 "program); name the game folder with --game DIR\n",
                 g_paths.game_folder.c_str());
  }
  if (!end_run && InitSequence() == 0) RunMainLoop();
  ShutdownSequence();

  if (g_shell.raise_listener) platform::StopRaiseListener();
  ReleaseInstanceLocks();

  status = ExitStatus();
  const bool restart = g_engine.restart_flag.load() != 0;
  platform::SetClockThread(false);
  platform::ShutdownPlatform();
  ShutdownErrorReporting();
  if (restart) Restart();
  return status;
}

}  // namespace korvel
