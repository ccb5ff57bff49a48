// A threaded game in a real window under a virtual X server, built to make the game thread, the
// main thread and the sound thread share as much as they can: music and sound effects, a menu bar
// opened and chosen with the mouse, a Flash window that moves every frame, the screen and window
// commands every frame, a movie, the close button's question and message boxes answered with
// keys. Run under ThreadSanitizer, it fails on any data race between them.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "required_tool.h"
#include "engine_fixture.h"

namespace korvel {
namespace {

// The frame loop runs on the game thread. The Flash window cannot host a control here, so opening
// it says so once in a box; the loop then moves it, sets the logical size (76) and the window's
// title, size and main flag (88) on every frame, and plays the chime every half second. A Q key
// ends the loop; the last box is answered and the game quits by itself.
constexpr char kGame[] =
    ".config width 320\n"
    ".config height 240\n"
    ".config show 1\n"
    ".config threaded 1\n"
    ".global int k\n"
    ".global int answer\n"
    ".sysvar 123 int last_key\n"
    "label SYSTEM_START\n"
    "INPUT 0=( 1 ) 1=( 0 )\n"
    "MENUITEM 0=( \"bar\" ) 1=( \"bar\" ) 2=( 1 )\n"
    "MENUITEM 0=( \"bar/file\" ) 1=( \"File\" ) 2=( 1 )\n"
    "MENUITEM 0=( \"bar/file/open\" ) 1=( \"Open\" ) 2=( 1 ) 6=( 201 )\n"
    "LAYER 0=( \"bg\" ) 29=( \"bg\" ) 5=( 1 )\n"
    "WINDOW 0=( 0 ) 22=( \"bar\" )\n"
    "SOUND 0=( \"bgm\" ) 2=( \"music\" ) 3=( 1 ) 5=( 500 ) 10=( 192 )\n"
    "FLASHOPEN 0=( \"anim.swf\" ) 1=( 1 ) 2=( 0 ) 3=( 0 ) 4=( 40 ) 5=( 30 )\n"
    "MOVIE 0=( \"movie/opening.mpg\" ) 2=( 150 ) 3=( 110 ) 4=( 160 ) 5=( 120 ) 6=( 128 ) 1=( 1 )\n"
    "loop -1\n"
    "  let $k += 1\n"
    "  SCREEN 2=( 320 ) 3=( 240 )\n"
    "  WINDOW 0=( 0 ) 1=( \"korvel\" ) 7=( 320 ) 8=( 240 ) 16=( $k 2 % )\n"
    "  if $k 30 % 0 ==\n"
    "    SOUND 0=( \"se\" ) 2=( \"chime\" ) 3=( 1 ) 9=( 1 )\n"
    "  end\n"
    "  if $last_key 81 ==\n"
    "    break\n"
    "  end\n"
    "  FLASHOPEN 2=( $k 280 % ) 3=( $k 7 * 210 % )\n"
    "  WAIT 0=( 1 )\n"
    "end\n"
    "MSGBOX 0=( \"Done\" ) 1=( \"All seen\" ) 11=( $answer )\n"
    "if $answer 1 !=\n  24\nend\n"
    "QUIT\n";

class ThreadedXvfbGameTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xdotool", "/usr/bin/openbox"}) {
      KORVEL_REQUIRE_TOOL(::access(tool, X_OK) == 0, tool);
    }
    ASSERT_FALSE(server_.display().empty()) << "Xvfb did not start";
    fonts_.Write("fonts.conf",
                 "<?xml version=\"1.0\"?>\n<fontconfig>\n"
                 "<dir>/usr/share/fonts/opentype/ipafont-gothic</dir>\n"
                 "<cachedir>" + fonts_.path() + "/cache</cachedir>\n</fontconfig>\n");
    BuildGame({{"main.kas", kGame}});
    game_.Write("bg.bmp", test::Bmp24(320, 240, [](int32_t x, int32_t y) {
      return 0x203040u + uint32_t(x / 8) * 0x010000u + uint32_t(y / 8) * 0x000100u;
    }));
    game_.Write("anim.swf", "FWS");
    const std::string media = std::string(KORVEL_SOURCE_DIR) + "/samples/sample-game/media/";
    std::filesystem::copy_file(media + "music.ogg", game_.File("music.ogg"));
    std::filesystem::copy_file(media + "chime.wav", game_.File("chime.wav"));
    std::filesystem::create_directories(game_.path() + "/movie");
    std::filesystem::copy_file(std::string(KORVEL_FIXTURES_DIR) + "/movie/movie.mpg",
                               game_.path() + "/movie/opening.mpg");
  }

  std::string X(const std::string& command) const {
    return test::CaptureCommand("DISPLAY=" + server_.display() + " timeout 10 " + command +
                                " 2>/dev/null");
  }
  // Every visible window of the engine whose name matches, one id a line.
  std::vector<std::string> Windows(const std::string& name, int pid) const {
    std::istringstream ids(
        X("xdotool search --all --onlyvisible --pid " + std::to_string(pid) + " --name '" + name + "'"));
    std::vector<std::string> out;
    for (std::string id; ids >> id;) out.push_back(id);
    return out;
  }
  // Waits for a visible window named `name` that is none of `except`; empty when none came while
  // the engine ran.
  std::string WaitForWindow(const std::string& name, test::ChildProcess& engine,
                            const std::vector<std::string>& except = {}) const {
    for (int i = 0; i < 1000 && engine.Running(); ++i) {
      for (const std::string& id : Windows(name, engine.pid())) {
        if (std::find(except.begin(), except.end(), id) == except.end()) return id;
      }
      test::SleepRealMs(20);
    }
    return {};
  }
  bool WaitForNoWindow(const std::string& id, test::ChildProcess& engine) const {
    for (int i = 0; i < 1000 && engine.Running(); ++i) {
      if (X("xdotool search --all --onlyvisible --pid " + std::to_string(engine.pid()) + " --name '.*'")
              .find(id) == std::string::npos) {
        return true;
      }
      test::SleepRealMs(20);
    }
    return false;
  }
  // Focuses the box and types the keys.
  void Answer(const std::string& id, const std::string& keys) const {
    X("xdotool windowactivate --sync " + id);
    X("xdotool key --delay 60 " + keys);
  }

  test::XvfbServer server_;
  test::TempDir fonts_;
};

TEST_F(ThreadedXvfbGameTest, EveryThreadSharesOnlyWhatItPublishes) {
  test::WindowManager wm(server_.display(), runtime_.path());
  ASSERT_TRUE(wm.running()) << "openbox did not start";
  test::ChildProcess engine(
      Args(), SdlEnv(server_.display(), {"FONTCONFIG_FILE=" + fonts_.File("fonts.conf"),
                                         "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1"}));

  // The box that says the Flash control is missing has no title.
  const std::string flash_box = WaitForWindow("^$", engine);
  ASSERT_FALSE(flash_box.empty()) << "no box for the missing Flash control";
  Answer(flash_box, "Return");
  ASSERT_TRUE(WaitForNoWindow(flash_box, engine)) << "the box stayed open";

  const std::string main = WaitForWindow("^korvel$", engine);
  ASSERT_FALSE(main.empty()) << "no window";
  // The bar's first entry opens its menu; the menu's first row is chosen.
  X("xdotool mousemove --window " + main + " 12 10 click 1");
  const std::string menu = WaitForWindow("^menu$", engine);
  ASSERT_FALSE(menu.empty()) << "the bar's menu did not open";
  X("xdotool mousemove --window " + menu + " 20 12 click 1");
  ASSERT_TRUE(WaitForNoWindow(menu, engine)) << "the menu stayed open";

  // The close button asks the player on the main thread, under the window's title; No goes on.
  X("xdotool windowactivate --sync " + main + " key alt+F4");
  const std::string question = WaitForWindow("^korvel$", engine, {main});
  ASSERT_FALSE(question.empty()) << "the close button asked nothing";
  Answer(question, "Right Return");
  ASSERT_TRUE(WaitForNoWindow(question, engine)) << "the question stayed open";

  // Keys still count after the Alt+F4 that asked the question.
  X("xdotool windowactivate --sync " + main + " key q");
  const std::string done = WaitForWindow("^Done$", engine);
  ASSERT_FALSE(done.empty()) << "the loop did not end";
  Answer(done, "Return");

  const test::ProcessResult r = engine.Wait(60000);
  ASSERT_FALSE(r.timed_out) << r.stderr_text;
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("ThreadSanitizer"), std::string::npos) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("| menu:201"), std::string::npos) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: korvel | "), std::string::npos) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: Done | All seen | 1\n"), std::string::npos)
      << r.stderr_text;
}

}  // namespace
}  // namespace korvel
