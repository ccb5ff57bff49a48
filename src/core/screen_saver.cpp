// The screen-saver switches.
#include "core/screen_saver.h"

#include "core/sjis_text.h"
#include "platform/platform.h"

namespace korvel {

ScreenSaverAction DecideScreenSaverAction(const CommandLine& command_line) {
  if (command_line.count == 0) return ScreenSaverAction::kVersionBox;
  const std::string& first = command_line.slots[1];
  if (first.size() < 2 || (first[0] != '/' && first[0] != '-')) return ScreenSaverAction::kContinue;
  char letter = first[1];
  if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
  if (command_line.count == 2 && letter == 'p') return ScreenSaverAction::kPreview;
  if (command_line.count == 2 && letter == 'a') return ScreenSaverAction::kEndRun;
  if (command_line.count == 1 && letter == 'c') return ScreenSaverAction::kVersionBox;
  return ScreenSaverAction::kContinue;
}

int32_t HandleScreenSaverCommandLine(bool screen_saver_build, const CommandLine& command_line) {
  if (!screen_saver_build) return 0;
  switch (DecideScreenSaverAction(command_line)) {
    case ScreenSaverAction::kContinue:
      return 0;
    case ScreenSaverAction::kVersionBox:
      platform::MessageBox(platform::kNoWindow, Sjis("情報"),
                           Sjis("スクリーンセーバー\n\nVersion 1.00"), platform::kMbOk);
      return 1;
    case ScreenSaverAction::kPreview:
    case ScreenSaverAction::kEndRun:
      return 1;
  }
  return 1;
}

}  // namespace korvel
