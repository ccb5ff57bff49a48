// The menu bar and a popup menu on a virtual X server: opened and chosen with xdotool, and each
// drawn exactly as the golden pictures (IPA fonts only; made by this test with
// KORVEL_WRITE_GOLDENS=1 and checked by eye).
#include <signal.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "png_pixels.h"
#include "required_tool.h"

namespace korvel {
namespace {

constexpr char kBarGame[] =
    ".config width 320\n"
    ".config height 120\n"
    ".config show 1\n"
    "label SYSTEM_START\n"
    "MENUITEM 0=( \"bar\" ) 1=( \"bar\" ) 2=( 1 )\n"
    "MENUITEM 0=( \"bar/file\" ) 1=( \"ファイル(&F)\" ) 2=( 1 )\n"
    "MENUITEM 0=( \"bar/file/open\" ) 1=( \"開く\" ) 2=( 1 ) 6=( 201 )\n"
    "MENUITEM 0=( \"bar/file/sep\" ) 1=( \"\" ) 2=( 2 )\n"
    "MENUITEM 0=( \"bar/file/quit\" ) 1=( \"終了\" ) 2=( 3 ) 6=( 202 ) 5=( 1 )\n"
    "MENUITEM 0=( \"bar/file/off\" ) 1=( \"Off\" ) 2=( 4 ) 6=( 203 ) 4=( 0 )\n"
    "MENUITEM 0=( \"bar/go\" ) 1=( \"Go\" ) 2=( 2 ) 6=( 204 )\n"
    "LAYER 0=( \"bg\" ) 29=( \"bg\" ) 5=( 1 )\n"
    "WINDOW 0=( 0 ) 22=( \"bar\" )\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

constexpr char kPopupGame[] =
    ".config width 160\n"
    ".config height 64\n"
    ".config show 1\n"
    "label SYSTEM_START\n"
    "MENUITEM 0=( \"p\" ) 1=( \"p\" ) 2=( 1 )\n"
    "MENUITEM 0=( \"p/a\" ) 1=( \"Alpha\" ) 2=( 1 ) 6=( 101 )\n"
    "MENUITEM 0=( \"p/sub\" ) 1=( \"サブ\" ) 2=( 2 )\n"
    "MENUITEM 0=( \"p/sub/x\" ) 1=( \"Inner\" ) 2=( 1 ) 6=( 104 )\n"
    "WAIT 0=( 10 )\n"
    "POPUP 0=( \"p\" ) 1=( 1 )\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

class MenuXvfbTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    KORVEL_REQUIRE_TOOL(!server_.display().empty(), "Xvfb");
    KORVEL_REQUIRE_TOOL(!test::CaptureCommand("command -v import").empty(), "ImageMagick's import");
    KORVEL_REQUIRE_TOOL(!test::CaptureCommand("command -v xdotool").empty(), "xdotool");
    fonts_.Write("fonts.conf",
                 "<?xml version=\"1.0\"?>\n<fontconfig>\n"
                 "<dir>/usr/share/fonts/opentype/ipafont-gothic</dir>\n"
                 "<dir>/usr/share/fonts/opentype/ipafont-mincho</dir>\n"
                 "<cachedir>" + fonts_.path() + "/cache</cachedir>\n</fontconfig>\n");
  }

  std::vector<std::string> Env() const {
    return SdlEnv(server_.display(), {"FONTCONFIG_FILE=" + fonts_.File("fonts.conf")});
  }
  std::string X(const std::string& command) const {
    return test::CaptureCommand("DISPLAY=" + server_.display() + " " + command + " 2>/dev/null");
  }
  // The first visible window whose name matches, waiting for it to appear.
  std::string WaitForWindow(const std::string& name, test::ChildProcess& engine) const {
    for (int i = 0; i < 500 && engine.Running(); ++i) {
      const std::string found = X("xdotool search --onlyvisible --name '" + name + "'");
      if (!found.empty()) return found.substr(0, found.find('\n'));
      test::SleepRealMs(20);
    }
    return {};
  }
  // Waits until no visible window matches (a closed menu).
  bool WaitForNoWindow(const std::string& name, test::ChildProcess& engine) const {
    for (int i = 0; i < 500 && engine.Running(); ++i) {
      if (X("xdotool search --onlyvisible --name '" + name + "'").empty()) return true;
      test::SleepRealMs(20);
    }
    return false;
  }
  // The window's pixels until they equal the golden picture (the window may still be drawing),
  // for at most five seconds; then one last comparison reports the difference.
  void ExpectWindowShowsGolden(const std::string& id, const std::string& golden_name) const {
    const std::string golden_path =
        std::string(KORVEL_FIXTURES_DIR) + "/menus/" + golden_name;
    if (std::getenv("KORVEL_WRITE_GOLDENS") != nullptr) {
      test::SleepRealMs(500);
      X("import -window " + id + " png:" + golden_path);
    }
    test::PngPixels golden;
    ASSERT_TRUE(test::ReadPngPixels(golden_path, &golden)) << golden_path;
    const size_t want = size_t(golden.w) * golden.h * 3;
    std::string rgb;
    size_t differing = 0;
    for (int attempt = 0; attempt < 50; ++attempt) {
      test::SleepRealMs(100);
      rgb = X("import -window " + id + " -depth 8 rgb:-");
      if (rgb.size() != want) continue;
      differing = 0;
      for (size_t i = 0; i < golden.px.size(); ++i) {
        const uint32_t shot = uint32_t(uint8_t(rgb[i * 3])) << 16 |
                              uint32_t(uint8_t(rgb[i * 3 + 1])) << 8 | uint8_t(rgb[i * 3 + 2]);
        differing += shot != (golden.px[i] & 0xFFFFFFu);
      }
      if (differing == 0) break;
    }
    EXPECT_EQ(rgb.size(), want) << golden_name;
    EXPECT_EQ(differing, 0u) << golden_name << ": pixels differ";
  }

  test::XvfbServer server_;
  test::TempDir fonts_;
};

TEST_F(MenuXvfbTest, BarOpensItsMenuAndChoosesWithTheMouse) {
  BuildGame({{"main.kas", kBarGame}});
  // A background under the bar's menu: it must come back whole when the menu closes.
  game_.Write("bg.bmp", test::Bmp24(320, 120, [](int32_t x, int32_t y) {
    return 0x203040u + uint32_t(x / 8) * 0x010000u + uint32_t(y / 8) * 0x000100u;
  }));
  test::ChildProcess engine(Args(), Env());
  const std::string id = WaitForWindow("^korvel$", engine);
  ASSERT_FALSE(id.empty()) << "no window";
  // The strip sits above the 320 × 120 client area.
  const std::string info = X("xwininfo -id " + id);
  EXPECT_NE(info.find("Width: 320"), std::string::npos) << info;
  EXPECT_NE(info.find("Height: 140"), std::string::npos) << info;
  ExpectWindowShowsGolden(id, "bar.png");

  X("xdotool mousemove --window " + id + " 20 10 click 1");
  const std::string popup = WaitForWindow("^menu$", engine);
  ASSERT_FALSE(popup.empty()) << "the bar's menu did not open";
  ExpectWindowShowsGolden(popup, "bar_menu.png");
  // "終了" is the third row: below "開く" and the separator.
  X("xdotool mousemove --window " + popup + " 30 40 click 1");
  ASSERT_TRUE(WaitForNoWindow("^menu$", engine)) << "the menu stayed open";
  // "Go" chooses at once; its highlight shows while it is chosen and goes away after.
  X("xdotool mousemove --window " + id + " 100 10 click 1");
  ExpectWindowShowsGolden(id, "bar.png");
  const test::ProcessResult r = engine.Stop(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("| menu:202"), std::string::npos) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("menu bar | Go | menu:204"), std::string::npos) << r.stderr_text;
}

TEST_F(MenuXvfbTest, PopupOpensAtTheCursorAndChoosesFromASubmenu) {
  BuildGame({{"main.kas", kPopupGame}});
  X("xdotool mousemove 600 300");
  test::ChildProcess engine(Args(), Env());
  const std::string popup = WaitForWindow("^menu$", engine);
  ASSERT_FALSE(popup.empty()) << "no popup";
  const std::string info = X("xwininfo -id " + popup);
  EXPECT_NE(info.find("Absolute upper-left X:  600"), std::string::npos) << info;
  EXPECT_NE(info.find("Absolute upper-left Y:  300"), std::string::npos) << info;
  ExpectWindowShowsGolden(popup, "popup.png");
  // Down twice reaches "サブ", Right opens it with its first item, Return chooses "Inner".
  for (const char* key : {"Down", "Down", "Right", "Return"}) {
    X(std::string("xdotool key ") + key);
    test::SleepRealMs(100);
  }
  ASSERT_TRUE(WaitForNoWindow("^menu$", engine)) << "the menu stayed open";
  const test::ProcessResult r = engine.Stop(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("menu | at 600,300: [Alpha=101] [サブ] | menu:104"),
            std::string::npos)
      << r.stderr_text;
}

}  // namespace
}  // namespace korvel
