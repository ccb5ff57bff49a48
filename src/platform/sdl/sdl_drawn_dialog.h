// Dialogs drawn by the engine in a window of their own (message box, error dialog, text input), so
// Japanese always renders: the engine's font code on a CPU canvas, a modal loop on the main thread
// that keeps serving the main-thread requests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {

enum class DialogIcon : uint8_t { kNone, kInformation, kQuestion, kWarning, kError };

struct DialogButton {
  int32_t id = 0;
  std::string label_utf8;
  SDL_Keycode mnemonic = SDLK_UNKNOWN;  // the key that presses it (no edit field only)
  bool enabled = true;
};

struct DrawnDialog {
  std::string title_sjis;
  std::string text_sjis;  // message or the input dialog's label
  DialogIcon icon = DialogIcon::kNone;
  std::vector<DialogButton> buttons;
  size_t default_button = 0;
  int32_t escape_result = 0;  // Escape and the close button; 0: they do nothing
  bool always_on_top = false;
  // The text-input dialog's edit field.
  bool edit = false;
  std::string edit_text_utf8;
  size_t edit_limit = 0;  // code page 932 bytes the text may hold
};

// False for SDL's dummy and offscreen video drivers, where no window is seen.
bool VideoDriverHasScreen();

// A tooltip's picture: the tip's lines (code page 932, broken at line breaks) in the dialogs' font
// on a pale background inside a one-pixel frame. Pixels are 0xAARRGGBB, rows top-down.
struct TipPicture {
  int32_t width = 0, height = 0;
  std::vector<uint32_t> pixels;
};
TipPicture DrawTipPicture(const std::string& tip_sjis);

// Runs the dialog to its end on the main thread. Returns the id of the pressed button (or the
// escape result), with the edit field's text in `edit_text_utf8`; -1 when no window could be made.
int32_t RunDrawnDialog(WindowId owner, DrawnDialog* dialog);

}  // namespace korvel::platform::sdl
