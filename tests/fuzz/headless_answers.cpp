// Fuzz target: the headless answer file (KORVEL_ANSWERS), loaded as a headless run starts and used
// up by the dialogs in turn: message boxes, the text-input dialog, popup menus and the error dialog.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  unsetenv("KORVEL_INPUT");
  unsetenv("KORVEL_DUMP");
  unsetenv("KORVEL_FRAMES");
  unsetenv("KORVEL_CLOCK_START");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace platform = korvel::platform;
  const std::string path = korvel::fuzz::WriteScratchFile("answers.txt", data, size);
  setenv("KORVEL_ANSWERS", path.c_str(), 1);
  if (platform::InitPlatformWith(platform::BackendKind::kHeadless)) {
    std::string text;
    int32_t command = 0;
    for (uint32_t turn = 0; turn < 64 && platform::HeadlessAnswersLeft() != 0; ++turn) {
      switch (turn % 5) {
        case 0:
          (void)platform::MessageBox(platform::kNoWindow, "t", "m",
                                     platform::kMbYesNoCancel | platform::kMbIconQuestion);
          break;
        case 1:
          (void)platform::TakeHeadlessTextAnswer(&text);
          break;
        case 2:
          (void)platform::TakeHeadlessMenuAnswer(&command);
          break;
        case 3:
          (void)platform::ErrorDialog(platform::kNoWindow, "t", "m", 1, nullptr, nullptr);
          break;
        default:
          (void)platform::TakeHeadlessAnswer(&text);
          break;
      }
    }
    platform::Event event;
    for (int n = 0; n < 1000 && platform::PollEvent(&event); ++n) {
    }
  }
  platform::ShutdownPlatform();
  return 0;
}
