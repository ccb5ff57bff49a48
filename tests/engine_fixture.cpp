// A headless engine for tests, in process and as the real program.
#include "engine_fixture.h"

#include <cstdlib>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/window_record.h"
#include "platform/platform.h"

namespace korvel::test {

namespace {

// The headless controls come from the test, never from the environment it was started in.
void ClearHeadlessControls() {
  for (const char* name : {"KORVEL_PLATFORM", "KORVEL_FRAMES", "KORVEL_DUMP", "KORVEL_INPUT",
                           "KORVEL_ANSWERS", "KORVEL_CLOCK_START", "KORVEL_MONITORS"}) {
    ::unsetenv(name);
  }
}

}  // namespace

void HeadlessEngine::StartWith(const Variables& variables) {
  ClearHeadlessControls();
  for (const auto& [name, value] : variables) {
    ::setenv(name.c_str(), value.c_str(), 1);
    set_.push_back(name);
  }
  ASSERT_TRUE(platform::InitPlatformWith(platform::BackendKind::kHeadless));
  InitEngineState();
  InitErrorReporting();
}

void HeadlessEngine::OpenWindowZero(int32_t width, int32_t height) {
  ASSERT_EQ(CreateWindowRecords(), 0);
  WindowRecord* w = g_windows[0];
  w->logical_width = width;
  w->logical_height = height;
  platform::WindowDesc desc;
  desc.title = "korvel";
  desc.client_width = width;
  desc.client_height = height;
  w->handle = platform::CreateWindow(desc);
}

void HeadlessEngine::TearDown() {
  ShutdownErrorReporting();
  platform::ShutdownPlatform();
  for (const std::string& name : set_) ::unsetenv(name.c_str());
  set_.clear();
}

std::vector<std::string> GameFolderTest::Args(std::vector<std::string> extra) const {
  std::vector<std::string> argv = {KORVEL_BINARY, "--game", game_.path()};
  argv.insert(argv.end(), extra.begin(), extra.end());
  return argv;
}

std::vector<std::string> GameFolderTest::HeadlessEnv(std::vector<std::string> extra) const {
  extra.push_back("XDG_RUNTIME_DIR=" + runtime_.path());
  extra.push_back("KORVEL_PLATFORM=headless");
  return extra;
}

void GameFolderTest::UseHeadlessEnvInProcess() const {
  ClearHeadlessControls();
  for (const std::string& entry : HeadlessEnv()) {
    const size_t equals = entry.find('=');
    ::setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
  }
}

std::vector<std::string> GameFolderTest::SdlEnv(const std::string& display,
                                                std::vector<std::string> extra) const {
  extra.push_back("DISPLAY=" + display);
  extra.push_back("KORVEL_PLATFORM=sdl");
  extra.push_back("XDG_RUNTIME_DIR=" + runtime_.path());
  extra.push_back("SDL_AUDIODRIVER=dummy");
  // Without a session bus libdbus tries to start one for SDL and keeps memory it never frees.
  extra.push_back("DBUS_SESSION_BUS_ADDRESS=disabled:");
  return extra;
}

}  // namespace korvel::test
