// The real program under a virtual X server: its window appears and the run ends cleanly.
#include <signal.h>

#include <string>

#include <gtest/gtest.h>

#include "lib/compiled_game.h"
#include "test_support.h"

namespace korvel {
namespace {

TEST(XvfbWindowTest, WindowAppearsAndClosesCleanly) {
  test::XvfbServer server;
  if (server.display().empty()) GTEST_SKIP() << "Xvfb is not available";
  test::TempDir runtime, game;
  std::string error;
  ASSERT_TRUE(tools::WriteGameFolder(tools::SmallestGame(), game.path(), &error)) << error;
  test::ChildProcess engine({KORVEL_BINARY, "--game", game.path()},
                            {"DISPLAY=" + server.display(), "KORVEL_PLATFORM=sdl",
                             "XDG_RUNTIME_DIR=" + runtime.path(), "SDL_AUDIODRIVER=dummy",
                             // Without a session bus libdbus tries to start one for SDL and
                             // keeps memory it never frees.
                             "DBUS_SESSION_BUS_ADDRESS=disabled:"});
  std::string found;
  for (int i = 0; i < 1000 && found.empty(); ++i) {
    found = test::CaptureCommand("DISPLAY=" + server.display() +
                                 " xdotool search --onlyvisible --name '^korvel$' 2>/dev/null");
    if (found.empty()) test::SleepRealMs(20);
  }
  EXPECT_FALSE(found.empty()) << "no visible window titled korvel";
  engine.Signal(SIGTERM);
  const test::ProcessResult r = engine.Wait(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("headless"), std::string::npos) << "fell back: " << r.stderr_text;
}

}  // namespace
}  // namespace korvel
