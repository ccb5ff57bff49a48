// The real program with GPU drawing chosen in its settings (field 8 = 0): on SDL's offscreen driver
// (Mesa's llvmpipe) it draws through OpenGL without a word; on the dummy driver, which has no
// OpenGL, it shows the two messages and goes on with CPU drawing. Both runs end cleanly.
#include <signal.h>

#include <string>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "required_tool.h"

namespace korvel {
namespace {

class GpuGameTest : public test::GameFolderTest {
 protected:
  // Runs the smallest game for a moment on `driver` and asks it to quit.
  test::ProcessResult RunOn(const char* driver) {
    WriteGame(tools::SmallestGame());
    game_.Write("krcfg.dat", std::string(128, '\0'));  // field 8 = 0
    test::ChildProcess engine(
        Args(), {"XDG_RUNTIME_DIR=" + runtime_.path(), "KORVEL_PLATFORM=sdl",
                 std::string("SDL_VIDEODRIVER=") + driver, "LP_NUM_THREADS=0", "DISPLAY=",
                 "WAYLAND_DISPLAY=", "SDL_AUDIODRIVER=dummy", "DBUS_SESSION_BUS_ADDRESS=disabled:",
                 // Mesa unloads its driver before the leak check can name its allocations.
                 "LSAN_OPTIONS=detect_leaks=0"});
    for (int i = 0; i < 100 && engine.Running(); ++i) test::SleepRealMs(20);
    engine.Signal(SIGTERM);
    return engine.Wait(60000);
  }
};

TEST_F(GpuGameTest, OffscreenDriverDrawsThroughOpenGl) {
  const test::ProcessResult r = RunOn("offscreen");
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  KORVEL_REQUIRE_TOOL(r.stderr_text.find("no display could be opened") == std::string::npos,
                      "SDL's offscreen video driver");
  EXPECT_EQ(r.stderr_text.find("korvel: dialog:"), std::string::npos) << r.stderr_text;
}

TEST_F(GpuGameTest, DummyDriverFallsBackToCpuDrawing) {
  const test::ProcessResult r = RunOn("dummy");
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  const size_t first = r.stderr_text.find("[DX]オブジェクトを生成できませんでした。");
  const size_t second = r.stderr_text.find("GPU描画が出来ませんでした。CPU描画に移行します。");
  EXPECT_NE(first, std::string::npos) << r.stderr_text;
  EXPECT_NE(second, std::string::npos) << r.stderr_text;
  EXPECT_LT(first, second);
}

}  // namespace
}  // namespace korvel
