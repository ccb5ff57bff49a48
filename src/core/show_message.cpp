// Message boxes for environment failures.
#include "core/show_message.h"

#include <string>

#include "core/deferred_dialogs.h"
#include "core/error_report.h"
#include "core/sjis_text.h"
#include "platform/platform.h"

namespace korvel {

int32_t ShowMessageArgs(std::string_view title, std::string_view format,
                        std::span<const FormatArg> args) {
  char text[1024];
  const size_t length = FormatText(text, sizeof text, format, args);
  // Under the engine lock the box is shown once the lock is released; it has only OK to answer.
  if (DeferDialogWhileLocked([title = std::string(title), shown = std::string(text, length)] {
        platform::MessageBox(platform::kNoWindow, title, shown,
                             platform::kMbOk | platform::kMbSystemModal);
      })) {
    return platform::kIdOk;
  }
  return platform::MessageBox(platform::kNoWindow, title, std::string_view(text, length),
                              platform::kMbOk | platform::kMbSystemModal);
}

void ReportImageSizeTooLarge(int64_t width, int64_t height) {
  static const std::string text = Sjis("ＣＧサイズが大きすぎます。X=%d, Y=%d");
  ShowMessageF("", text, width, height);
  ReportErrorPlain(100010, true);
}

}  // namespace korvel
