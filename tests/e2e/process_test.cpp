// The real program, started as a process: frame limits, signals, the single-instance rule, the
// notice switches and a clean exit under LeakSanitizer when init fails.
#include <signal.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "lib/compiled_game.h"
#include "engine_fixture.h"

namespace korvel {
namespace {

using test::ChildProcess;
using test::ProcessResult;
using test::RunProcess;
using test::TempDir;

// The smallest valid game the tools write.
void WriteSmallestGame(const std::string& folder) {
  std::string error;
  ASSERT_TRUE(tools::WriteGameFolder(tools::SmallestGame(), folder, &error)) << error;
}

class ProcessTest : public test::GameFolderTest {
 protected:
  void SetUp() override { WriteGame(tools::SmallestGame()); }
  std::vector<std::string> Env(std::vector<std::string> extra = {}) const {
    return HeadlessEnv(std::move(extra));
  }
  // Waits (real time) until the running instance holds its installation lock.
  bool WaitForInstanceLock(int timeout_ms) const {
    namespace fs = std::filesystem;
    for (int waited = 0; waited < timeout_ms; waited += 10) {
      for (const auto& e : fs::directory_iterator(runtime_.path())) {
        const std::string name = e.path().filename().string();
        if (name.rfind("korvel-", 0) == 0 && name.size() > 12 &&
            name.substr(name.size() - 5) == ".lock") {
          return true;
        }
      }
      test::SleepRealMs(10);
    }
    return false;
  }
};

TEST_F(ProcessTest, SmallestGameRunsTheFrameLimitAndExitsZero) {
  TempDir dump;
  const ProcessResult r =
      RunProcess(Args(), Env({"KORVEL_FRAMES=120", "KORVEL_DUMP=" + dump.path()}), 60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  // The first frame was presented; later frames change nothing, so they are not presented again,
  // and nothing runs past the limit.
  EXPECT_TRUE(std::filesystem::exists(dump.File("w0-000001.png")));
  EXPECT_FALSE(std::filesystem::exists(dump.File("w0-000121.png")));
}

TEST_F(ProcessTest, EmptyFolderIsAFatalMissingFile) {
  TempDir empty;
  const ProcessResult r = RunProcess({KORVEL_BINARY, "--game", empty.path()},
                                     Env({"KORVEL_FRAMES=5"}), 60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 1) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("error 104060"), std::string::npos) << r.stderr_text;
}

TEST_F(ProcessTest, SigtermQuitsThroughTheNormalPath) {
  ChildProcess child(Args(), Env());
  ASSERT_TRUE(WaitForInstanceLock(20000));
  child.Signal(SIGTERM);
  const ProcessResult r = child.Wait(20000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
}

TEST_F(ProcessTest, SecondStartOfTheSameGameRaisesTheFirstAndExitsZero) {
  ChildProcess first(Args(), Env());
  ASSERT_TRUE(WaitForInstanceLock(20000));
  const ProcessResult second = RunProcess(Args(), Env(), 20000);
  ASSERT_FALSE(second.timed_out);
  EXPECT_EQ(second.exit_status, 0) << second.stderr_text;

  // Another game is not held back by the first one.
  TempDir other_game;
  WriteSmallestGame(other_game.path());
  const ProcessResult other = RunProcess({KORVEL_BINARY, "--game", other_game.path()},
                                         Env({"KORVEL_FRAMES=5"}), 20000);
  EXPECT_EQ(other.exit_status, 0) << other.stderr_text;

  first.Signal(SIGTERM);
  const ProcessResult r = first.Wait(20000);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
}

TEST_F(ProcessTest, InfoSwitchShowsTheNoticeAndExitsZeroWithoutLeaks) {
  // The notice is a fatal report from inside the init sequence: the loop is skipped and the whole
  // shutdown runs. LeakSanitizer (dev build) fails the process on any leak.
  const ProcessResult r = RunProcess(Args({"/info"}), Env(), 30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: error 100000"), std::string::npos) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: License Information"), std::string::npos)
      << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("LeakSanitizer"), std::string::npos) << r.stderr_text;
}

TEST_F(ProcessTest, SettingsSwitchWithoutTheToolSaysSoAndEnds) {
  TempDir control;
  const ProcessResult r = RunProcess(
      Args({"/KRCFG"}), Env({"KORVEL_ANSWERS=" + control.Write("answers", "1\n")}), 30000);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("KRSetup"), std::string::npos) << r.stderr_text;
}

TEST_F(ProcessTest, DialogWithoutAnswerEndsTheHeadlessRunWithStatusTwo) {
  TempDir control;
  const ProcessResult r = RunProcess(
      Args(), Env({"KORVEL_INPUT=" + control.Write("input", "3 close\n")}), 30000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 2) << r.stderr_text;
}

TEST_F(ProcessTest, MalformedInputFileEndsWithStatusTwo) {
  TempDir control;
  const ProcessResult r = RunProcess(
      Args(), Env({"KORVEL_INPUT=" + control.Write("input", "3 jump around\n")}), 30000);
  EXPECT_EQ(r.exit_status, 2) << r.stderr_text;
}

TEST_F(ProcessTest, MissingGameFolderIsRefused) {
  const ProcessResult r =
      RunProcess({KORVEL_BINARY, "--game", game_.File("nowhere")}, Env(), 30000);
  EXPECT_EQ(r.exit_status, 2);
  EXPECT_NE(r.stderr_text.find("game folder"), std::string::npos);
}

}  // namespace
}  // namespace korvel
