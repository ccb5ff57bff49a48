// Sound files that fail to load while the sound thread loads them: the error dialog is answered and
// the run ends by itself, headless and in a real window, instead of hanging between the sound
// thread, the main thread and the engine lock.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "required_tool.h"
#include "engine_fixture.h"
#include "lib/compiled_game.h"
#include "lib/kcg_writer.h"
#include "lib/pack_writer.h"

namespace korvel {
namespace {

using test::ProcessResult;
using test::RunProcess;
using test::TempDir;

// The script starts the music and waits for the load: its command waits for the sound thread,
// which meets the broken file while it holds the engine lock.
const test::GameFolderTest::Sources kMusicGame = {
    {"main.kas",
     "label SYSTEM_START\n"
     "SOUND 0=( \"bgm\" ) 2=( \"music\" ) 3=( 1 )\n"
     "loop -1\n  WAIT 0=( 1 )\nend\n"}};

class SoundErrorGameTest : public test::GameFolderTest {
 public:
  // A virtual X server with openbox for the tests in a real window; skipped (or failed, when the
  // tools are required) where a tool is missing.
  void StartDesktop() {
    for (const char* tool : {"/usr/bin/Xvfb", "/usr/bin/xdotool", "/usr/bin/openbox"}) {
      KORVEL_REQUIRE_TOOL(::access(tool, X_OK) == 0, tool);
    }
    server_ = std::make_unique<test::XvfbServer>();
    ASSERT_FALSE(server_->display().empty()) << "Xvfb did not start";
    wm_ = std::make_unique<test::WindowManager>(server_->display(), runtime_.path());
    ASSERT_TRUE(wm_->running()) << "openbox did not start";
  }

  std::string Music() const {
    return test::ReadFile(std::string(KORVEL_SOURCE_DIR) + "/samples/sample-game/media/music.ogg");
  }
  // The game with its music in game.kpf, stored without repair data and with its last byte
  // flipped: the pack's check finds the damage when the sound thread reads the entry.
  void BuildDamagedPackGame() {
    BuildGame(kMusicGame);
    const std::string music = Music();
    ASSERT_GT(music.size(), 1000u);
    tools::PackWriterOptions options;
    options.compression = tools::PackCompression::kStored;
    options.repair_data = false;
    std::vector<uint8_t> pack;
    std::string error;
    ASSERT_TRUE(tools::BuildPack({{"music.ogg", std::vector<uint8_t>(music.begin(), music.end())}},
                                 options, &pack, &error))
        << error;
    pack[pack.size() - 9] ^= 0xFF;  // the last stored byte of the only entry
    ASSERT_TRUE(tools::WriteWholeFileBytes(game_.File("game.kpf"), pack, 0644, &error)) << error;
  }
  // The game with a loose music.ogg of 5 GiB that holds no data (a sparse file): more than any
  // load can take.
  void BuildHugeLooseFileGame() {
    BuildGame(kMusicGame);
    const std::string path = game_.File("music.ogg");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const bool sized = ::ftruncate(fd, off_t{5} << 30) == 0;
    ::close(fd);
    ASSERT_TRUE(sized);
  }

 protected:
  // The window manager goes before its server.
  std::unique_ptr<test::XvfbServer> server_;
  std::unique_ptr<test::WindowManager> wm_;
};

struct LoadErrorCase {
  const char* name;
  void (SoundErrorGameTest::*build)();
  const char* error_line;
};

// The error dialog (Exit) and then the sound thread's own box (OK) are answered; the run ends
// with the fatal report's status well inside the limit.
TEST_F(SoundErrorGameTest, HeadlessLoadErrorEndsThroughTheAnsweredDialog) {
  const LoadErrorCase cases[] = {
      {"damaged pack entry", &SoundErrorGameTest::BuildDamagedPackGame, "korvel: error 104100"},
      {"5 GiB loose file", &SoundErrorGameTest::BuildHugeLooseFileGame, "korvel: error 1040"},
  };
  for (const LoadErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir control;
    (this->*c.build)();
    if (HasFatalFailure()) return;
    const std::string answers = control.Write("answers.txt", "1034\n1\n");
    const ProcessResult r = RunProcess(
        Args(), HeadlessEnv({"KORVEL_ANSWERS=" + answers, "KORVEL_FRAMES=100000"}), 60000);
    ASSERT_FALSE(r.timed_out) << r;
    EXPECT_EQ(r.exit_status, 1) << r;
    EXPECT_NE(r.stderr_text.find(c.error_line), std::string::npos) << r;
    EXPECT_NE(r.stderr_text.find("korvel: dialog: KORVEL Debug Info. | "), std::string::npos) << r;
    EXPECT_NE(r.stderr_text.find("| 1034\n"), std::string::npos) << r;
    EXPECT_NE(r.stderr_text.find("korvel: dialog: DEBUG Message | エラー番号：1020"),
              std::string::npos)
        << r;
    std::filesystem::remove(game_.File("music.ogg"));
    std::filesystem::remove(game_.File("game.kpf"));
  }
}

// The same damaged pack in a real window: the drawn error dialog and then the sound thread's box
// are answered with keys, and the run ends by itself.
TEST_F(SoundErrorGameTest, DamagedPackEndsThroughTheDrawnDialogsUnderXvfb) {
  ASSERT_NO_FATAL_FAILURE(StartDesktop());
  if (IsSkipped()) return;
  const std::string display = server_->display();
  BuildDamagedPackGame();
  if (HasFatalFailure()) return;
  test::ChildProcess engine(Args(), SdlEnv(display));
  // Waits for the box titled `title` (a regular expression), then activates it and types `keys`.
  const auto answer = [&](const std::string& title, const std::string& keys) {
    std::string id;
    for (int i = 0; i < 500 && id.empty() && engine.Running(); ++i) {
      std::istringstream ids(test::CaptureCommand("DISPLAY=" + display +
                                                  " timeout 10 xdotool search --onlyvisible "
                                                  "--name '" + title + "' 2>/dev/null"));
      ids >> id;
      if (id.empty()) test::SleepRealMs(20);
    }
    if (id.empty()) return false;
    test::CaptureCommand("DISPLAY=" + display + " timeout 10 xdotool windowactivate --sync " + id +
                         " key " + keys + " 2>/dev/null");
    return true;
  };
  ASSERT_TRUE(answer("^KORVEL Debug Info\\.$", "x")) << "no error dialog";
  ASSERT_TRUE(answer("^DEBUG Message$", "Return")) << "no sound error box";
  const ProcessResult r = engine.Wait(30000);
  ASSERT_FALSE(r.timed_out) << r;
  EXPECT_EQ(r.exit_status, 1) << r;
  EXPECT_NE(r.stderr_text.find("korvel: error 104100"), std::string::npos) << r;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: DEBUG Message | エラー番号：1020"),
            std::string::npos)
      << r;
}

// SIGTERM while the error dialog is open ends it and the sound thread's box that follows it.
TEST_F(SoundErrorGameTest, TerminationEndsTheErrorDialogAndTheBoxAfterIt) {
  ASSERT_NO_FATAL_FAILURE(StartDesktop());
  if (IsSkipped()) return;
  const std::string display = server_->display();
  BuildDamagedPackGame();
  if (HasFatalFailure()) return;
  test::ChildProcess engine(Args(), SdlEnv(display));
  std::string found;
  for (int i = 0; i < 500 && found.empty() && engine.Running(); ++i) {
    found = test::CaptureCommand("DISPLAY=" + display +
                                 " timeout 10 xdotool search --onlyvisible --name "
                                 "'^KORVEL Debug Info\\.$' 2>/dev/null");
    if (found.empty()) test::SleepRealMs(20);
  }
  ASSERT_FALSE(found.empty()) << "no error dialog";
  engine.Signal(SIGTERM);
  const ProcessResult r = engine.Wait(30000);
  ASSERT_FALSE(r.timed_out) << r;
  EXPECT_EQ(r.exit_status, 1) << r;
  EXPECT_NE(r.stderr_text.find("korvel: dialog: DEBUG Message | "), std::string::npos) << r;
}

// The longest stretch, in frames, over which the output repeats itself one second later while it
// holds sound: a voice whose ring is no longer refilled plays its last second again and again.
size_t LongestRepeatedSecond(const std::string& raw) {
  constexpr size_t kSecond = 44100;  // 16-bit stereo frames of the device
  const size_t frames = raw.size() / 4;
  std::vector<uint32_t> x(frames);
  std::memcpy(x.data(), raw.data(), frames * 4);
  size_t longest = 0, run = 0, sounding = 0;
  for (size_t j = 0; j + kSecond < frames; ++j) {
    if (x[j] != x[j + kSecond]) {
      run = sounding = 0;
      continue;
    }
    ++run;
    if (x[j] != 0) ++sounding;
    if (sounding > run / 2) longest = std::max(longest, run);
  }
  return longest;
}

// A message box raised under the engine lock (a KCG file with a wrong mark, read while the lock
// guards the data sources) stays open for seconds while the music streams: the device's output
// (SDL's disk driver) goes on with the music instead of repeating its last second.
TEST_F(SoundErrorGameTest, StreamKeepsPlayingUnderAnOpenBoxUnderXvfb) {
  ASSERT_NO_FATAL_FAILURE(StartDesktop());
  if (IsSkipped()) return;
  const std::string display = server_->display();
  BuildGame({{"main.kas",
              "label SYSTEM_START\n"
              "SOUND 0=( \"bgm\" ) 2=( \"music\" ) 3=( 1 )\n"
              "WAIT 1=( 1500 )\n"
              "LAYER 0=( \"pic\" ) 29=( \"magic.kcg\" ) 5=( 1 )\n"
              "WAIT 1=( 500 )\nQUIT\n"}});
  const std::string music = Music();
  std::string error;
  ASSERT_TRUE(tools::WriteWholeFileBytes(game_.File("music.ogg"),
                                         std::vector<uint8_t>(music.begin(), music.end()), 0644,
                                         &error))
      << error;
  const std::vector<uint8_t> pixels(16 * 16 * 4, 0x80);
  std::vector<uint8_t> kcg = tools::WriteKcg(pixels.data(), 16, 16, {});
  kcg[1] = 'X';  // a wrong mark: "File Check Error.", then the image still loads
  ASSERT_TRUE(tools::WriteWholeFileBytes(game_.File("magic.kcg"), kcg, 0644, &error)) << error;
  TempDir out;
  const std::string raw = out.File("device.raw");
  // SDL's disk driver writes what the device plays, in real time.
  std::vector<std::string> env = SdlEnv(display, {"SDL_DISKAUDIOFILE=" + raw});
  for (std::string& entry : env) {
    if (entry.rfind("SDL_AUDIODRIVER=", 0) == 0) entry = "SDL_AUDIODRIVER=disk";
  }
  test::ChildProcess engine(Args(), env);
  // The box is the engine's window that is not the main one (its title is empty).
  std::string box;
  for (int i = 0; i < 500 && box.empty() && engine.Running(); ++i) {
    std::istringstream ids(test::CaptureCommand("DISPLAY=" + display +
                                                " timeout 10 xdotool search --onlyvisible --pid " +
                                                std::to_string(engine.pid()) + " 2>/dev/null"));
    for (std::string id; ids >> id;) {
      const std::string name = test::CaptureCommand("DISPLAY=" + display +
                                                    " timeout 10 xdotool getwindowname " + id +
                                                    " 2>/dev/null");
      if (name != "korvel\n") box = id;
    }
    if (box.empty()) test::SleepRealMs(20);
  }
  ASSERT_FALSE(box.empty()) << "no box";
  test::SleepRealMs(4000);
  test::CaptureCommand("DISPLAY=" + display + " timeout 10 xdotool windowactivate --sync " + box +
                       " key Return 2>/dev/null");
  const ProcessResult r = engine.Wait(30000);
  ASSERT_FALSE(r.timed_out) << r;
  EXPECT_EQ(r.exit_status, 0) << r;
  EXPECT_NE(r.stderr_text.find("korvel: dialog:  | File Check Error. | 1\n"), std::string::npos)
      << r;
  const std::string device = test::ReadFile(raw);
  // The run lasted the box's four seconds and more.
  ASSERT_GT(device.size(), 44100u * 4 * 5) << r;
  EXPECT_LT(LongestRepeatedSecond(device), 44100u / 4) << r;
}

}  // namespace
}  // namespace korvel
