// Message boxes for environment failures (no window to own them, shown above everything).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "core/text_format.h"

namespace korvel {

// Formats `format` with `args` (at most 1023 bytes) and shows it in a system-modal message box with
// an OK button and no owner. Texts are code page 932. Returns the message box's result. Under the
// engine lock the box is shown once the calling thread releases the lock, and OK is returned now.
int32_t ShowMessageArgs(std::string_view title, std::string_view format,
                        std::span<const FormatArg> args);

template <typename... Args>
int32_t ShowMessageF(std::string_view title, std::string_view format, const Args&... args) {
  return ShowMessageArgs(title, format, MakeFormatArgs(args...));
}

// Shows "ＣＧサイズが大きすぎます。X=%d, Y=%d" (empty caption) and reports 100010 (fatal): a pixel
// buffer was asked for with a side the engine cannot hold.
void ReportImageSizeTooLarge(int64_t width, int64_t height);

}  // namespace korvel
