// The real program under a virtual X server: its window appears and the run ends cleanly.
#include <signal.h>

#include <string>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "required_tool.h"

namespace korvel {
namespace {

using XvfbWindowTest = test::GameFolderTest;

TEST_F(XvfbWindowTest, WindowAppearsAndClosesCleanly) {
  test::XvfbServer server;
  KORVEL_REQUIRE_TOOL(!server.display().empty(), "Xvfb");
  WriteGame(tools::SmallestGame());
  test::ChildProcess engine(Args(), SdlEnv(server.display()));
  std::string found;
  for (int i = 0; i < 1000 && found.empty() && engine.Running(); ++i) {
    found = test::CaptureCommand("DISPLAY=" + server.display() +
                                 " xdotool search --onlyvisible --name '^korvel$' 2>/dev/null");
    if (found.empty()) test::SleepRealMs(20);
  }
  EXPECT_FALSE(found.empty()) << "no visible window titled korvel (the program "
                              << (engine.Running() ? "still runs" : "has ended") << ")";
  engine.Signal(SIGTERM);
  const test::ProcessResult r = engine.Wait(30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("headless"), std::string::npos) << "fell back: " << r.stderr_text;
}

}  // namespace
}  // namespace korvel
