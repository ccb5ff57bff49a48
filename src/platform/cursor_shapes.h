// The cursor shape of the engine's windows: a standard cursor or one made from an image.
#pragma once

#include <cstdint>

namespace korvel::platform {

// The standard cursors a script can ask for (Windows' IDC_ names).
enum class SystemCursor : uint8_t {
  kArrow, kIBeam, kWait, kCross, kUpArrow, kSizeNwse, kSizeNesw, kSizeWe, kSizeNs, kSizeAll, kNo,
  kHand, kAppStarting, kHelp,
};
inline constexpr int kSystemCursorCount = 14;

// Makes a standard cursor the cursor of the engine's windows. False when it cannot be made (the
// cursor stays as it was).
bool SetSystemCursor(SystemCursor cursor);
// Makes a cursor from a top-down BGRA image (alpha as stored) with its hot spot and sets it.
// False when it cannot be made; the cursor then stays as it was.
bool SetImageCursor(const uint8_t* bgra, int32_t width, int32_t height, int32_t hot_x,
                    int32_t hot_y);

// ---- Headless, for tests ------------------------------------------------------------------------

// The cursor shape last set: a SystemCursor as its number, or -2 after an image cursor (with its
// size), -1 before any.
struct HeadlessCursorShape {
  int32_t system = -1;
  int32_t width = 0, height = 0, hot_x = 0, hot_y = 0;
};
HeadlessCursorShape GetHeadlessCursorShape();
// Makes the next image cursors fail (as a system that cannot make one would).
void SetHeadlessImageCursorFails(bool fail);

}  // namespace korvel::platform
