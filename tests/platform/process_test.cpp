// Processes: start and wait with exit codes, no descriptor leaks into children, the associated
// program found through xdg-mime and a desktop entry, Exec line splitting, and termination signals.
#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/platform.h"
#include "platform_test_util.h"

namespace korvel::platform {
namespace {

using test::CleanHeadlessEnv;
using test::DrainEvents;
using test::ScopedEnv;
using korvel::test::TempDir;

TEST(Process, StartAndWaitGiveTheExitStatus) {
  EXPECT_EQ(WaitProcess(StartProcess("/bin/sh", {"-c", "exit 3"})), 3);
  EXPECT_EQ(WaitProcess(StartProcess("sh", {"-c", "exit 0"})), 0);  // found on PATH
  EXPECT_EQ(WaitProcess(StartProcess("sh", {"-c", "kill -KILL $$"})), -1);
  EXPECT_EQ(StartProcess("/nonexistent/program", {}), -1);
  EXPECT_EQ(StartProcess("", {}), -1);
  EXPECT_EQ(WaitProcess(-1), -1);
}

TEST(Process, ChildrenKeepNoDescriptorOfOurs) {
  // Even a descriptor opened without O_CLOEXEC stays behind.
  const int fd = open("/dev/null", O_RDONLY);
  ASSERT_GE(fd, 3);
  const std::string check = "test -e /proc/self/fd/" + std::to_string(fd) + " && exit 1; exit 0";
  EXPECT_EQ(WaitProcess(StartProcess("/bin/sh", {"-c", check})), 0);
  close(fd);
}

TEST(Process, ExecutablePathIsThisProgram) {
  const std::string path = ExecutablePath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_EQ(std::filesystem::path(path).filename(), "test_platform");
}

TEST(Process, ExecLinesSplitWithoutFieldCodes) {
  const struct {
    const char* exec;
    std::vector<std::string> args;
  } cases[] = {
      {"gedit %U", {"gedit"}},
      {"emacs --line %f", {"emacs", "--line"}},
      {"\"/opt/my editor/edit\" -a %F", {"/opt/my editor/edit", "-a"}},
      {"prog --rate=100%% x%iy", {"prog", "--rate=100%", "xy"}},
      {"prog \"say \\\"hi\\\"\" \"\"", {"prog", "say \"hi\"", ""}},
      {"prog \"a\\sb\"", {"prog", "a b"}},
      {"  spaced   out  ", {"spaced", "out"}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitExecLine(c.exec), c.args) << c.exec;
}

class AssociatedProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.File("bin"));
    std::filesystem::create_directories(dir_.File("data/applications/korvel"));
    dir_.Write("bin/xdg-mime",
              "#!/bin/sh\n"
              "if [ \"$1 $2\" = 'query filetype' ]; then echo text/x-korvel; exit 0; fi\n"
              "if [ \"$1 $2 $3\" = 'query default text/x-korvel' ]; then\n"
              "  echo korvel-editor.desktop; exit 0; fi\n"
              "exit 1\n");
    chmod((dir_.File("bin/xdg-mime")).c_str(), 0755);
    // "korvel-editor.desktop" lives in the subfolder korvel/, as desktop file ids allow.
    dir_.Write("data/applications/korvel/editor.desktop",
              "[Desktop Action new]\n"
              "Exec=wrong\n"
              "[Desktop Entry]\n"
              "Name=Editor\n"
              "Exec=\"/opt/my editor/edit\" --goto %F \"a\\\\\\\\b\"\r\n");
  }
  TempDir dir_;
  ScopedEnv data_home_{"XDG_DATA_HOME", dir_.File("data")};
  ScopedEnv data_dirs_{"XDG_DATA_DIRS", dir_.File("nothing")};
};

TEST_F(AssociatedProgram, FoundThroughXdgMime) {
  ScopedEnv path("PATH", dir_.File("bin") + ":/usr/bin:/bin");
  EXPECT_EQ(FindAssociatedProgram("/tmp/script.txt"),
            (std::vector<std::string>{"/opt/my editor/edit", "--goto", "a\\b"}));
}

TEST_F(AssociatedProgram, NothingWithoutXdgMime) {
  ScopedEnv path("PATH", dir_.File("empty"));
  EXPECT_TRUE(FindAssociatedProgram("/tmp/script.txt").empty());
}

TEST_F(AssociatedProgram, NothingWithoutTheDesktopEntry) {
  ScopedEnv path("PATH", dir_.File("bin") + ":/usr/bin:/bin");
  std::filesystem::remove(dir_.File("data/applications/korvel/editor.desktop"));
  EXPECT_TRUE(FindAssociatedProgram("/tmp/script.txt").empty());
}

TEST(Termination, SignalsBecomeOneTerminateEvent) {
  CleanHeadlessEnv clean;
  ASSERT_TRUE(InitPlatformWith(BackendKind::kHeadless));
  struct sigaction old_term {}, old_int {};
  sigaction(SIGTERM, nullptr, &old_term);
  sigaction(SIGINT, nullptr, &old_int);
  InstallTerminationHandlers();
  raise(SIGTERM);
  raise(SIGINT);
  std::vector<Event> events = DrainEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, EventKind::kTerminate);
  EXPECT_TRUE(DrainEvents().empty());
  EXPECT_FALSE(TakeTerminationRequest());
  // The request itself stays: dialogs shown after the signal end at once.
  EXPECT_TRUE(TerminationRequested());
  InstallTerminationHandlers();
  EXPECT_FALSE(TerminationRequested());
  sigaction(SIGTERM, &old_term, nullptr);
  sigaction(SIGINT, &old_int, nullptr);
  ShutdownPlatform();
}

}  // namespace
}  // namespace korvel::platform
