// A second start of the same game, as a real process, while this process runs the engine: the
// second start ends with status 0 and the running engine restores its minimised main window.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>
#include <future>
#include <string>

#include <gtest/gtest.h>

#include "core/engine_state.h"
#include "core/startup.h"
#include "core/subsystem_hooks.h"
#include "core/window_record.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "test_support.h"

namespace korvel {
namespace {

std::string g_game;
std::string g_runtime;
int g_second_status = -1;
int g_ticks = 0;
bool g_restored = false;

bool MainWindowMinimized() {
  platform::HeadlessWindowInfo info;
  return platform::GetHeadlessWindowInfo(g_windows[0]->handle, &info) && info.minimized;
}

int Tick() {
  ++g_ticks;
  if (g_ticks == 2) {
    platform::ShowWindow(g_windows[0]->handle, platform::ShowCommand::kMinimize);
    if (!MainWindowMinimized()) return 1;
    const test::ProcessResult second =
        test::RunProcess({KORVEL_BINARY, "--game", g_game},
                         {"XDG_RUNTIME_DIR=" + g_runtime, "KORVEL_PLATFORM=headless"}, 20000);
    g_second_status = second.timed_out ? -2 : second.exit_status;
  } else if (g_ticks > 2) {
    if (!MainWindowMinimized()) {
      g_restored = true;
      SetQuitFlag();
    } else if (g_ticks > 2000) {
      SetQuitFlag();  // the raise never came
    }
    // Give the listener thread real time to pass the request on.
    if (!g_restored) test::SleepRealMs(1);
  }
  return 0;
}

TEST(InstanceRaiseTest, SecondStartRaisesTheRunningEngine) {
  const std::string start_folder = std::filesystem::current_path().string();
  test::TempDir runtime, game;
  g_game = game.path();
  g_runtime = runtime.path();
  ::setenv("XDG_RUNTIME_DIR", runtime.path().c_str(), 1);
  ::setenv("KORVEL_PLATFORM", "headless", 1);
  ResetSubsystemHooks();
  g_hooks.run_script_tasks = Tick;
  auto run = std::async(std::launch::async, [] {
    const char* argv[] = {"korvel", "--game", g_game.c_str()};
    return EngineMain(3, argv);
  });
  ASSERT_EQ(run.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(run.get(), 0);
  EXPECT_EQ(g_second_status, 0);
  EXPECT_TRUE(g_restored) << "the running engine did not restore its window";
  ResetSubsystemHooks();
  ASSERT_EQ(::chdir(start_folder.c_str()), 0);  // the engine entered the game folder
}

}  // namespace
}  // namespace korvel
