// Fuzz target: the headless input file (KORVEL_INPUT), loaded as a headless run starts and applied
// frame by frame to a main window, every event taken off the queue.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  unsetenv("KORVEL_ANSWERS");
  unsetenv("KORVEL_DUMP");
  unsetenv("KORVEL_FRAMES");
  unsetenv("KORVEL_CLOCK_START");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace platform = korvel::platform;
  const std::string path = korvel::fuzz::WriteScratchFile("input.txt", data, size);
  setenv("KORVEL_INPUT", path.c_str(), 1);
  if (platform::InitPlatformWith(platform::BackendKind::kHeadless)) {
    platform::WindowDesc desc;
    desc.title = "fuzz";
    desc.x = 40;
    desc.y = 30;
    desc.client_width = 320;
    desc.client_height = 240;
    const platform::WindowId window = platform::CreateWindow(desc);
    platform::ShowWindow(window, platform::ShowCommand::kShow);
    platform::Event event;
    uint8_t keys[256];
    // A few frames one by one, then every line left at once.
    for (uint64_t frame : {uint64_t{0}, uint64_t{1}, uint64_t{2}, uint64_t{100}, UINT64_MAX}) {
      platform::BeginFrame(frame);
      for (int n = 0; n < 100000 && platform::PollEvent(&event); ++n) {
      }
      platform::GetKeyboardState(keys);
    }
    for (int32_t slot = 0; slot < platform::kJoystickSlots; ++slot) {
      platform::JoystickPosition position;
      (void)platform::ReadJoystick(slot, &position);
    }
    platform::DestroyWindow(window);
  }
  platform::ShutdownPlatform();
  return 0;
}
