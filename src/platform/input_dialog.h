// Desktop services beyond windows and input: the clipboard, cursor shapes and the engine's
// text-input dialog. Texts are code page 932; the backends convert at the edge.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace korvel::platform {

// ---- Clipboard ----------------------------------------------------------------------------------

// Puts a text on the clipboard (up to its first NUL). Headless: kept in memory. False on failure.
bool SetClipboardText(std::string_view text_sjis);
// The clipboard's text; false when it holds none.
bool GetClipboardText(std::string* text_sjis);

// ---- Cursor shapes ------------------------------------------------------------------------------

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

// ---- Text-input dialog --------------------------------------------------------------------------

struct InputDialogRequest {
  std::string title;         // code page 932
  std::string label;         // code page 932
  std::string default_text;  // code page 932
  int32_t limit = 0;         // at most this many bytes may be entered; 0 = no limit
};
// Longest answer the dialog returns (its answer buffer holds 4096 bytes with the NUL).
inline constexpr size_t kInputDialogMaxAnswer = 4095;

// Shows the modal text-input dialog (one OK button) and returns kIdOk with the entered text, or
// -1 when the dialog could not be shown. Headless: the next `text:` answer, with the limit applied
// as typing would. Logged like every dialog.
int32_t InputDialog(WindowId owner, const InputDialogRequest& request, std::string* answer_sjis);

// The edit field's typing: adds typed or pasted UTF-8 text character by character while the text,
// as code page 932, stays within `limit` bytes (control characters are skipped; the first one that
// does not fit ends the addition). Backspace takes off the last character.
void AppendTypedText(std::string* text_utf8, std::string_view typed_utf8, size_t limit);
void RemoveLastTypedChar(std::string* text_utf8);

// ---- Tray icon ----------------------------------------------------------------------------------

// The icon's side in pixels.
inline constexpr int32_t kTrayIconPictureSide = 16;
// What a click on the icon reports (kTrayIcon events), as the mouse messages Windows sends to the
// icon's owner.
enum : int32_t { kTrayLeftDown = 0x201, kTrayLeftDoubleClick = 0x203, kTrayRightDown = 0x204 };

// Shows the icon in the desktop's notification area, or updates the shown one: `bgra` is a top-down
// 16 × 16 picture (blue, green, red, alpha; a picture whose alpha is zero throughout is opaque, as
// an icon without alpha is), null for the program's own icon. The tip (code page 932) is shown when
// the pointer rests on the icon; clicks arrive as kTrayIcon events addressed to `owner`. False when
// the desktop has no notification area (headless, no tray host, another window system): nothing is
// shown, and the engine keeps its state alone.
bool ShowTrayIcon(WindowId owner, const uint8_t* bgra, std::string_view tip_sjis);
// Takes the icon out of the notification area (nothing when none is shown).
void RemoveTrayIcon();

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
