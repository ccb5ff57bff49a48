// The engine on a virtual X server with a window manager (openbox): keys typed with xdotool, a
// mouse button and a wheel turn reach the key table (read by a stand-in for the scripts each
// tick), and closing the window through the window manager asks the question: No keeps the game
// running, Yes ends it.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <iostream>
#include <mutex>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/engine_state.h"
#include "core/input_state.h"
#include "core/project_config.h"
#include "core/startup.h"
#include "core/subsystem_hooks.h"
#include "core/window_record.h"
#include "required_tool.h"
#include "test_support.h"

namespace korvel {
namespace {

// What the stand-in scripts saw: codes that had a press frame (counter 1) and a release frame
// (counter -1), the main window's focus, the number of ticks.
struct Seen {
  std::mutex lock;
  std::set<int32_t> pressed, released;
  bool focused = false;
};
Seen g_seen;
std::atomic<int> g_ticks{0};
std::string g_title;

int ReadKeyTable() {
  g_ticks.fetch_add(1);
  std::lock_guard lock(g_seen.lock);
  for (const int32_t code : {0x41, 0x42, 0x10, 0xA0, 0x0D, kAnyKeyCode, 1, 2, kWheelAwayCode,
                             kWheelTowardCode, kMouseMovedCode}) {
    if (g_keys.counter[code] == 1) g_seen.pressed.insert(code);
    if (g_keys.counter[code] == -1) g_seen.released.insert(code);
  }
  if (g_windows[0] != nullptr && g_windows[0]->focus.load() != 0) g_seen.focused = true;
  return 0;
}

int ProjectConfig() {
  std::snprintf(g_project.title, sizeof g_project.title, "%s", g_title.c_str());
  return 0;
}

// Sets an environment variable for the test's duration.
class Env {
 public:
  Env(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~Env() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// The engine enters the game folder; the tests that follow need the folder they started in.
class CwdGuard {
 public:
  CwdGuard() {
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer) != nullptr) cwd_ = buffer;
  }
  ~CwdGuard() {
    if (!cwd_.empty() && ::chdir(cwd_.c_str()) != 0) std::perror("chdir");
  }

 private:
  std::string cwd_;
};

// Captures stderr until Take(), or until the object goes (a failed assertion returned early);
// a failed test shows what the engine wrote.
class StderrCapture {
 public:
  StderrCapture() { testing::internal::CaptureStderr(); }
  ~StderrCapture() {
    if (taken_) return;
    const std::string log = testing::internal::GetCapturedStderr();
    if (testing::Test::HasFailure()) std::cout << "--- engine stderr:\n" << log << std::flush;
  }
  std::string Take() {
    taken_ = true;
    return testing::internal::GetCapturedStderr();
  }

 private:
  bool taken_ = false;
};

class InputXvfb : public ::testing::Test {
 public:
  // Runs an xdotool command line on the test's display and returns its output.
  // Every xdotool call is bounded: `--sync` waits for ever when the window manager never answers.
  std::string Xdo(const std::string& args) const {
    return test::CaptureCommand("DISPLAY=" + display_ + " timeout 10 xdotool " + args +
                                " 2>/dev/null");
  }

 protected:
  std::vector<std::string> WindowsNamed() const {
    std::vector<std::string> ids;
    std::istringstream out(Xdo("search --onlyvisible --name '^" + g_title + "$'"));
    for (std::string id; out >> id;) ids.push_back(id);
    return ids;
  }
  // Polls `done` every 20 ms for up to 10 s of real time.
  static bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
      if (done()) return true;
      test::SleepRealMs(20);
    }
    return done();
  }
  static bool Pressed(int32_t code) {
    std::lock_guard lock(g_seen.lock);
    return g_seen.pressed.count(code) != 0;
  }
  static bool PressedAndReleased(int32_t code) {
    std::lock_guard lock(g_seen.lock);
    return g_seen.pressed.count(code) != 0 && g_seen.released.count(code) != 0;
  }
  static void Forget() {
    std::lock_guard lock(g_seen.lock);
    g_seen.pressed.clear();
    g_seen.released.clear();
  }
  static std::string Trim(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
  }
  // The message box the engine shows: the window manager gives it the focus; it carries the main
  // window's title.
  std::string WaitForQuestion(const std::string& main) const {
    std::string box;
    WaitFor([&] {
      const std::string id = Trim(Xdo("getactivewindow"));
      if (!id.empty() && id != main && Trim(Xdo("getwindowname " + id)) == g_title) box = id;
      return !box.empty();
    });
    return box;
  }
  bool WindowGone(const std::string& id) const { return Trim(Xdo("getwindowname " + id)).empty(); }

  std::string display_;
};

TEST_F(InputXvfb, KeysMouseWheelAndTheCloseQuestion) {
  for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xdotool", "/usr/bin/openbox"}) {
    KORVEL_REQUIRE_TOOL(::access(tool, X_OK) == 0, tool);
  }
  CwdGuard cwd;
  test::XvfbServer server;
  ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
  display_ = server.display();
  test::TempDir runtime, game;
  test::WindowManager wm(display_, runtime.path());
  ASSERT_TRUE(wm.running()) << "openbox did not start";

  Env display("DISPLAY", display_);
  Env platform("KORVEL_PLATFORM", "sdl");
  Env runtime_dir("XDG_RUNTIME_DIR", runtime.path());
  Env audio("SDL_AUDIODRIVER", "dummy");
  // Without a session bus libdbus tries to start one for SDL and keeps memory it never frees.
  Env bus("DBUS_SESSION_BUS_ADDRESS", "disabled:");
  for (const char* name : {"KORVEL_FRAMES", "KORVEL_INPUT", "KORVEL_ANSWERS", "SDL_VIDEODRIVER"}) {
    ::unsetenv(name);
  }
  g_title = "korvel-input-" + std::to_string(::getpid());
  ResetSubsystemHooks();
  g_hooks.run_script_tasks = ReadKeyTable;
  g_hooks.load_project_config = ProjectConfig;
  g_ticks = 0;
  Forget();

  StderrCapture capture;
  const std::string folder = game.path();
  auto run = std::async(std::launch::async, [folder] {
    const char* argv[] = {"korvel", "--game", folder.c_str()};
    return EngineMain(3, argv);
  });
  // A failure below must still end the engine: a question still open is answered Yes.
  struct EndRun {
    std::future<int>& run;
    const InputXvfb& test;
    ~EndRun() {
      for (int i = 0; i < 100 && run.valid() &&
                      run.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready;
           ++i) {
        SetQuitFlag();
        test.Xdo("key Return");
      }
      if (run.valid() && run.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        std::_Exit(99);  // a hung engine cannot be joined; fail loudly
      }
      if (run.valid() && testing::Test::HasFailure()) {
        std::cout << "--- engine exit status " << run.get() << "\n" << std::flush;
      }
    }
  } end_run{run, *this};

  std::string main;
  ASSERT_TRUE(WaitFor([&] {
    const std::vector<std::string> ids = WindowsNamed();
    if (!ids.empty()) main = ids.front();
    return !main.empty();
  })) << "no window titled " << g_title;
  Xdo("windowactivate --sync " + main);
  ASSERT_TRUE(WaitFor([] {
    std::lock_guard lock(g_seen.lock);
    return g_seen.focused;
  })) << "the window never got the focus";

  // Keys held long enough for the frame's snapshot to see them.
  struct Typed {
    const char* keys;
    std::vector<int32_t> codes;
  } typed[] = {{"a", {0x41, kAnyKeyCode}},
               {"shift", {0x10, 0xA0, kAnyKeyCode}},
               {"Return", {0x0D}}};
  for (const Typed& t : typed) {
    Forget();
    Xdo(std::string("keydown ") + t.keys);
    test::SleepRealMs(150);
    Xdo(std::string("keyup ") + t.keys);
    for (const int32_t code : t.codes) {
      EXPECT_TRUE(WaitFor([&] { return PressedAndReleased(code); }))
          << t.keys << ": code " << code << " was not pressed and released";
    }
  }

  Forget();
  Xdo("mousemove --window " + main + " 40 30");
  EXPECT_TRUE(WaitFor([] { return Pressed(kMouseMovedCode); })) << "mouse move";
  Xdo("mousedown 1");
  test::SleepRealMs(150);
  Xdo("mouseup 1");
  EXPECT_TRUE(WaitFor([] { return PressedAndReleased(1); })) << "left button";
  Xdo("click 4");
  EXPECT_TRUE(WaitFor([] { return PressedAndReleased(kWheelAwayCode); })) << "wheel up";
  Xdo("click 5");
  EXPECT_TRUE(WaitFor([] { return PressedAndReleased(kWheelTowardCode); })) << "wheel down";

  // The window manager's close asks first; No keeps the game running.
  Xdo("windowactivate --sync " + main + " key alt+F4");
  std::string box = WaitForQuestion(main);
  ASSERT_FALSE(box.empty()) << "closing asked nothing";
  Xdo("key Escape");  // the question has the focus
  ASSERT_TRUE(WaitFor([&] { return WindowGone(box); })) << "the question stayed";
  const int ticks = g_ticks.load();
  EXPECT_TRUE(WaitFor([&] { return g_ticks.load() > ticks + 10; })) << "the game stopped";
  EXPECT_EQ(run.wait_for(std::chrono::seconds(0)), std::future_status::timeout);

  // Yes ends the run normally.
  Xdo("windowactivate --sync " + main + " key alt+F4");
  box = WaitForQuestion(main);
  ASSERT_FALSE(box.empty()) << "the second close asked nothing";
  Xdo("key Return");
  ASSERT_EQ(run.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  EXPECT_EQ(run.get(), 0);
  const std::string log = capture.Take();
  const std::string question =
      "korvel: dialog: " + g_title + " | 終了します。よろしいですか？ | ";
  EXPECT_NE(log.find(question + "7"), std::string::npos) << log;
  EXPECT_NE(log.find(question + "6"), std::string::npos) << log;
  EXPECT_EQ(log.find("running headless"), std::string::npos) << log;

  ResetSubsystemHooks();
}

}  // namespace
}  // namespace korvel
