// The tray icon on a virtual X server with trayer as the system-tray host: the icon window is
// docked in trayer's panel and shows the icon layer, the tip appears when the pointer rests on
// it, right and double clicks open the tray's popup menu and its choices reach the engine, and the
// script's removal undocks it. Without a host nothing is docked until one starts; headless runs
// keep the state alone.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "required_tool.h"
#include "engine_fixture.h"

namespace korvel {
namespace {

// The game shows the tray icon from a 16 × 16 layer with a tip and a popup of two items, waits
// for the file "gone" and then removes the icon.
constexpr char kTrayGame[] =
    ".config width 160\n"
    ".config height 64\n"
    ".config show 1\n"
    ".global int v\n"
    "label SYSTEM_START\n"
    "MENUITEM 0=( \"t\" ) 1=( \"t\" ) 2=( 1 )\n"
    "MENUITEM 0=( \"t/a\" ) 1=( \"Alpha\" ) 2=( 1 ) 6=( 101 )\n"
    "MENUITEM 0=( \"t/b\" ) 1=( \"Beta\" ) 2=( 2 ) 6=( 102 )\n"
    "LAYER 0=( \"icon\" ) 29=( \"icon\" ) 5=( 1 )\n"
    "TRAY 0=( 1 ) 1=( \"トレイのチップ\" ) 2=( \"icon\" ) 3=( \"t\" )\n"
    "loop -1\n"
    "  FILEINFO 1=( \"gone\" ) 4=( 1 ) 7=( $v )\n"
    "  if $v 1 ==\n    break\n  end\n"
    "  WAIT 0=( 1 )\n"
    "end\n"
    "TRAY 0=( 0 )\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

constexpr int kSide = 16;

// Every pixel differs from its neighbours, so a shifted or scaled picture cannot pass.
uint32_t IconColour(int32_t x, int32_t y) {
  return uint32_t(x * 16 + 8) << 16 | uint32_t(y * 16 + 8) << 8 | ((x + y) % 2 != 0 ? 200u : 40u);
}

struct Geometry {
  int32_t x = 0, y = 0, width = 0, height = 0;
};

// Absolute position and size from xwininfo's report.
Geometry ParseGeometry(const std::string& info) {
  Geometry g;
  auto field = [&](const std::string& name) {
    const size_t at = info.find(name);
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + name.size());
  };
  g.x = field("Absolute upper-left X:");
  g.y = field("Absolute upper-left Y:");
  g.width = field("Width:");
  g.height = field("Height:");
  return g;
}

class TrayGameTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    BuildGame({{"main.kas", kTrayGame}});
    game_.Write("icon.bmp", test::Bmp24(kSide, kSide, IconColour));
  }
};

TEST_F(TrayGameTest, HeadlessRunsKeepTheStateAlone) {
  const test::ProcessResult r =
      test::RunProcess(Args(), HeadlessEnv({"KORVEL_FRAMES=30"}), 60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r;
  EXPECT_EQ(r.stderr_text.find("korvel: dialog"), std::string::npos) << r;
}

class TrayXvfbTest : public TrayGameTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/trayer", "/usr/bin/xwininfo",
                             "/usr/bin/xdotool", "/usr/bin/import", "/usr/bin/convert"}) {
      KORVEL_REQUIRE_TOOL(::access(tool, X_OK) == 0, tool);
    }
    ASSERT_FALSE(server_.display().empty()) << "Xvfb did not start";
    TrayGameTest::SetUp();
  }

  std::string X(const std::string& command) const {
    return test::CaptureCommand("DISPLAY=" + server_.display() + " " + command + " 2>/dev/null");
  }
  // Polls `found` every 20 ms while `alive` holds, for at most ten seconds; the last answer.
  static std::string WaitFor(const std::function<std::string()>& found,
                             const std::function<bool()>& alive) {
    std::string answer;
    for (int i = 0; i < 500 && alive(); ++i) {
      answer = found();
      if (!answer.empty()) return answer;
      test::SleepRealMs(20);
    }
    return answer;
  }
  std::string FirstWindow(const std::string& search) const {
    const std::string found = X("xdotool search " + search);
    return found.substr(0, found.find('\n'));
  }
  // trayer's panel, once it is on the screen.
  std::string StartTrayer() {
    trayer_ = std::make_unique<test::ChildProcess>(
        std::vector<std::string>{"/usr/bin/trayer", "--edge", "bottom", "--align", "right",
                                 "--widthtype", "request", "--height", "24"},
        std::vector<std::string>{"DISPLAY=" + server_.display(),
                                 "DBUS_SESSION_BUS_ADDRESS=disabled:"});
    return WaitFor([&] { return FirstWindow("--onlyvisible --name '^panel$'"); },
                   [&] { return trayer_->Running(); });
  }
  // The id (as xwininfo writes it) of the icon window inside the panel's tree, or empty.
  std::string DockedIcon(const std::string& panel) const {
    std::istringstream tree(X("xwininfo -tree -id " + panel));
    for (std::string line; std::getline(tree, line);) {
      if (line.find("\"tray icon\"") == std::string::npos) continue;
      const size_t start = line.find("0x");
      if (start != std::string::npos) return line.substr(start, line.find(' ', start) - start);
    }
    return {};
  }
  // Waits until no popup menu is on the screen; false when one stays.
  bool WaitForNoMenu(const std::function<bool()>& alive) const {
    return WaitFor([&] { return FirstWindow("--onlyvisible --name '^menu$'").empty() ? "x" : ""; },
                   alive) == "x";
  }
  std::vector<std::string> Env() const { return SdlEnv(server_.display()); }

  test::XvfbServer server_;
  std::unique_ptr<test::ChildProcess> trayer_;
};

TEST_F(TrayXvfbTest, DockedIconShowsTheLayerTipAndPopupAndUndocks) {
  const std::string panel = StartTrayer();
  ASSERT_FALSE(panel.empty()) << "trayer showed no panel";
  test::ChildProcess engine(Args(), Env());
  auto alive = [&] { return engine.Running(); };
  const std::string icon = WaitFor([&] { return DockedIcon(panel); }, alive);
  ASSERT_FALSE(icon.empty()) << "no icon docked in the panel:\n" << X("xwininfo -root -tree");

  // The icon's 16 × 16 pixels, in the middle of the socket trayer made, are the layer's as
  // ImageMagick reads the layer's file. The size is read with each picture: trayer may still be
  // sizing the socket.
  const std::string want = X("convert " + game_.File("icon.bmp") + " -depth 8 rgb:-");
  ASSERT_EQ(want.size(), size_t(kSide * kSide * 3));
  Geometry g;
  std::string shot;
  for (int attempt = 0; attempt < 50 && shot != want; ++attempt) {
    test::SleepRealMs(100);
    g = ParseGeometry(X("xwininfo -id " + icon));
    if (g.width < kSide || g.height < kSide) continue;
    const std::string crop = std::to_string(kSide) + "x" + std::to_string(kSide) + "+" +
                             std::to_string((g.width - kSide) / 2) + "+" +
                             std::to_string((g.height - kSide) / 2);
    shot = X("import -window " + icon + " -crop " + crop + " +repage -depth 8 rgb:-");
  }
  ASSERT_GE(g.width, kSide);
  ASSERT_GE(g.height, kSide);
  EXPECT_TRUE(shot == want) << "the icon does not show the layer (" << shot.size() << " bytes)";

  // The tip shows where the pointer rests, drawn on its pale background.
  X("xdotool mousemove --window " + icon + " 8 " + std::to_string(g.height / 2));
  const std::string tip =
      WaitFor([&] { return FirstWindow("--onlyvisible --name '^tip$'"); }, alive);
  ASSERT_FALSE(tip.empty()) << "no tip";
  const Geometry t = ParseGeometry(X("xwininfo -id " + tip));
  EXPECT_TRUE(t.y + t.height <= g.y || t.y >= g.y + g.height) << "the tip covers the icon";
  // Its picture: the pale background inside the frame, and black text (read until it shows, as
  // the window may be on the screen a moment before it is drawn).
  const std::string background = "\xFF\xFF\xE1", ink(3, '\0');
  const size_t inside = (size_t(t.width) + 2) * 3;  // row 1, column 2
  std::string tip_pixels;
  for (int attempt = 0; attempt < 50; ++attempt) {
    tip_pixels = X("import -window " + tip + " -depth 8 rgb:-");
    if (tip_pixels.size() == size_t(t.width) * size_t(t.height) * 3 &&
        tip_pixels.compare(inside, 3, background) == 0 &&
        tip_pixels.find(ink) != std::string::npos) {
      break;
    }
    test::SleepRealMs(100);
  }
  ASSERT_EQ(tip_pixels.size(), size_t(t.width) * size_t(t.height) * 3);
  EXPECT_EQ(tip_pixels.substr(inside, 3), background);
  EXPECT_NE(tip_pixels.find(ink), std::string::npos) << "the tip has no text";

  // A right click opens the popup at the pointer and hides the tip; its second item is chosen.
  const std::string at = X("xdotool getmouselocation --shell");
  const int px = std::atoi(at.c_str() + at.find("X=") + 2);
  const int py = std::atoi(at.c_str() + at.find("Y=") + 2);
  X("xdotool click 3");
  std::string menu = WaitFor([&] { return FirstWindow("--onlyvisible --name '^menu$'"); }, alive);
  ASSERT_FALSE(menu.empty()) << "a right click opened no popup";
  EXPECT_TRUE(FirstWindow("--onlyvisible --name '^tip$'").empty()) << "the tip stayed";
  X("xdotool mousemove --window " + menu + " 30 33 click 1");
  ASSERT_TRUE(WaitForNoMenu(alive)) << "the popup stayed open";

  // A double click opens it too; the first item is chosen.
  X("xdotool mousemove --window " + icon + " 8 " + std::to_string(g.height / 2) +
    " click --repeat 2 --delay 60 1");
  menu = WaitFor([&] { return FirstWindow("--onlyvisible --name '^menu$'"); }, alive);
  ASSERT_FALSE(menu.empty()) << "a double click opened no popup";
  X("xdotool mousemove --window " + menu + " 30 13 click 1");
  ASSERT_TRUE(WaitForNoMenu(alive)) << "the popup stayed open";

  // The script removes the icon: it leaves the panel and its window is gone.
  game_.Write("gone", "");
  const std::string undocked = WaitFor(
      [&] {
        const bool gone = DockedIcon(panel).empty() && FirstWindow("--name '^tray icon$'").empty();
        return gone ? "x" : "";
      },
      alive);
  EXPECT_EQ(undocked, "x") << X("xwininfo -root -tree");

  const test::ProcessResult r = engine.Stop(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  const std::string popup = "korvel: dialog: menu | at " + std::to_string(px) + "," +
                            std::to_string(py) + ": [Alpha=101] [Beta=102] | menu:";
  const size_t right = r.stderr_text.find(popup + "102");
  EXPECT_NE(right, std::string::npos) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("[Alpha=101] [Beta=102] | menu:101", right), std::string::npos)
      << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
}

// The frame step on the game thread this time: the icon's requests go through the main thread.
TEST_F(TrayXvfbTest, WithoutATrayHostNothingIsDockedUntilOneStarts) {
  BuildGame({{"main.kas", std::string(".config threaded 1\n") + kTrayGame}});
  test::ChildProcess engine(Args(), Env());
  auto alive = [&] { return engine.Running(); };
  // The window shows after the first frame, whose script has asked for the icon.
  ASSERT_FALSE(WaitFor([&] { return FirstWindow("--onlyvisible --name '^korvel$'"); }, alive)
                   .empty())
      << "no window";
  EXPECT_TRUE(FirstWindow("--name '^tray icon$'").empty()) << X("xwininfo -root -tree");

  const std::string panel = StartTrayer();
  ASSERT_FALSE(panel.empty()) << "trayer showed no panel";
  EXPECT_FALSE(WaitFor([&] { return DockedIcon(panel); }, alive).empty())
      << "the icon did not dock when the tray started:\n" << X("xwininfo -root -tree");

  game_.Write("gone", "");
  EXPECT_EQ(WaitFor([&] { return DockedIcon(panel).empty() ? "x" : ""; }, alive), "x");
  const test::ProcessResult r = engine.Stop(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
}

#ifdef FAKE_TRAY
// A tray that asks for a visual with alpha gets the icon drawn in it: opaque where the layer is,
// transparent around it in the larger socket.
TEST_F(TrayXvfbTest, TrayWithAnAlphaVisualGetsTheIconOverTransparency) {
  test::TempDir seen;
  const std::string out = seen.File("icon.txt");
  test::ChildProcess tray({FAKE_TRAY, out}, {"DISPLAY=" + server_.display()});
  ASSERT_FALSE(WaitFor([&] { return FirstWindow("--name '^fake tray$'"); },
                       [&] { return tray.Running(); })
                   .empty())
      << "the stand-in tray did not start";
  test::ChildProcess engine(Args(), Env());
  const std::string text = WaitFor(
      [&] { return ::access(out.c_str(), R_OK) == 0 ? test::ReadFile(out) : std::string(); },
      [&] { return engine.Running() && tray.Running(); });
  ASSERT_FALSE(text.empty()) << "the icon never showed in the stand-in tray";

  constexpr int kSocket = 24, kOffset = (kSocket - kSide) / 2;
  std::istringstream words(text);
  size_t wrong = 0;
  std::string first_wrong;
  for (int y = 0; y < kSocket; ++y) {
    for (int x = 0; x < kSocket; ++x) {
      std::string word;
      words >> word;
      const uint32_t got = uint32_t(std::strtoul(word.c_str(), nullptr, 16));
      const bool on_icon = x >= kOffset && y >= kOffset && x < kOffset + kSide &&
                           y < kOffset + kSide;
      const uint32_t want = on_icon ? 0xFF000000u | IconColour(x - kOffset, y - kOffset) : 0u;
      if (got != want && wrong++ == 0) {
        first_wrong = std::to_string(x) + "," + std::to_string(y) + ": " + word;
      }
    }
  }
  EXPECT_EQ(wrong, 0u) << "first at " << first_wrong << "\n" << text;

  game_.Write("gone", "");
  const std::string gone = out + ".gone";
  EXPECT_EQ(WaitFor([&] { return ::access(gone.c_str(), R_OK) == 0 ? "x" : ""; },
                    [&] { return engine.Running(); }),
            "x")
      << "the icon window stayed";
  const test::ProcessResult r = engine.Stop(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
}
#endif


}  // namespace
}  // namespace korvel
