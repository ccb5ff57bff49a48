// Message boxes and the error dialog, drawn by the engine (SDL_ShowMessageBox only when no window
// can be made), with the buttons, default button and result codes of Windows' MessageBox. Edit in
// the error dialog runs its callback and shows the dialog again.
#include "platform/sdl/sdl_drawn_dialog.h"
#include "platform/sdl/sdl_state.h"

namespace korvel::platform::sdl {
namespace {

struct Button {
  int32_t id;
  const char* label;
};

struct ButtonSet {
  int count;
  Button buttons[3];
  int32_t closed;  // the result when the box is closed without a button (Esc, window close)
};

ButtonSet ButtonsOf(uint32_t flags) {
  const Button ok{kIdOk, "OK"}, cancel{kIdCancel, "Cancel"}, yes{kIdYes, "Yes"}, no{kIdNo, "No"};
  const Button abort{kIdAbort, "Abort"}, retry{kIdRetry, "Retry"}, ignore{kIdIgnore, "Ignore"};
  switch (flags & kMbButtonsMask) {
    case kMbOkCancel: return {2, {ok, cancel, {}}, kIdCancel};
    case kMbAbortRetryIgnore: return {3, {abort, retry, ignore}, kIdAbort};
    case kMbYesNoCancel: return {3, {yes, no, cancel}, kIdCancel};
    case kMbYesNo: return {2, {yes, no, {}}, kIdNo};
    case kMbRetryCancel: return {2, {retry, cancel, {}}, kIdCancel};
    default: return {1, {ok, {}, {}}, kIdOk};
  }
}

Uint32 IconOf(uint32_t flags) {
  switch (flags & kMbIconMask) {
    case kMbIconError: return SDL_MESSAGEBOX_ERROR;
    case kMbIconWarning: return SDL_MESSAGEBOX_WARNING;
    default: return SDL_MESSAGEBOX_INFORMATION;
  }
}

DialogIcon DrawnIconOf(uint32_t flags) {
  switch (flags & kMbIconMask) {
    case kMbIconError: return DialogIcon::kError;
    case kMbIconQuestion: return DialogIcon::kQuestion;
    case kMbIconWarning: return DialogIcon::kWarning;
    case kMbIconInformation: return DialogIcon::kInformation;
    default: return DialogIcon::kNone;
  }
}

// The button of a result code as a Japanese desktop labels it, with its access key.
DialogButton DrawnButton(int32_t id) {
  DialogButton b;
  b.id = id;
  switch (id) {
    case kIdOk: b.label_utf8 = "OK"; break;
    case kIdCancel: b.label_utf8 = "キャンセル"; break;
    case kIdYes: b.label_utf8 = "はい(Y)"; b.mnemonic = SDLK_y; break;
    case kIdNo: b.label_utf8 = "いいえ(N)"; b.mnemonic = SDLK_n; break;
    case kIdAbort: b.label_utf8 = "中止(A)"; b.mnemonic = SDLK_a; break;
    case kIdRetry: b.label_utf8 = "再試行(R)"; b.mnemonic = SDLK_r; break;
    case kIdIgnore: b.label_utf8 = "無視(I)"; b.mnemonic = SDLK_i; break;
    case kIdEdit: b.label_utf8 = "編集(E)"; b.mnemonic = SDLK_e; break;
    case kIdExit: b.label_utf8 = "終了(X)"; b.mnemonic = SDLK_x; break;
    default: b.label_utf8 = "?"; break;
  }
  return b;
}

// Shows one box; returns the chosen button's id, or `set.closed`.
int32_t ShowBox(WindowId owner, const std::string& title, const std::string& text, Uint32 icon,
                const ButtonSet& set, int default_index) {
  int32_t result = set.closed;
  // Without a screen there is nobody to answer; SDL would also try its X11 box, which forks, and a
  // child forked from a threaded process can hang in the allocator.
  if (!VideoDriverHasScreen()) return result;
  OnMainThread([&] {
    SDL_MessageBoxButtonData buttons[3] = {};
    for (int i = 0; i < set.count; ++i) {
      buttons[i].buttonid = set.buttons[i].id;
      buttons[i].text = set.buttons[i].label;
      if (i == default_index) buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
      if (set.buttons[i].id == set.closed) {
        buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
      }
    }
    const Window* record = FindWindow(owner);
    SDL_MessageBoxData data{};
    data.flags = icon | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    data.window = record != nullptr ? record->handle : nullptr;
    data.title = title.c_str();
    data.message = text.c_str();
    data.numbuttons = set.count;
    data.buttons = buttons;
    int chosen = -1;
    if (SDL_ShowMessageBox(&data, &chosen) == 0 && chosen >= 0) result = chosen;
  });
  return result;
}

}  // namespace

int32_t SdlBackend::MessageBox(WindowId owner, std::string_view title_sjis,
                               std::string_view text_sjis, uint32_t flags) {
  const ButtonSet set = ButtonsOf(flags);
  int default_index = 0;
  if ((flags & kMbDefButtonMask) == kMbDefButton2) default_index = 1;
  if ((flags & kMbDefButtonMask) == kMbDefButton3) default_index = 2;
  if (default_index >= set.count) default_index = 0;
  DrawnDialog dialog;
  dialog.title_sjis.assign(title_sjis);
  dialog.text_sjis.assign(text_sjis);
  dialog.icon = DrawnIconOf(flags);
  for (int i = 0; i < set.count; ++i) dialog.buttons.push_back(DrawnButton(set.buttons[i].id));
  dialog.default_button = static_cast<size_t>(default_index);
  dialog.escape_result = set.closed;
  dialog.always_on_top = (flags & kMbSystemModal) != 0;
  const int32_t drawn = RunDrawnDialog(owner, &dialog);
  if (drawn >= 0) return drawn;
  return ShowBox(owner, SdlText(title_sjis), SdlText(text_sjis), IconOf(flags), set,
                 default_index);
}

int32_t SdlBackend::ErrorDialog(WindowId owner, std::string_view title_sjis,
                                std::string_view text_sjis, int edit_button, EditCallback on_edit,
                                void* context) {
  DrawnDialog dialog;
  dialog.title_sjis.assign(title_sjis);
  dialog.text_sjis.assign(text_sjis);
  dialog.icon = DialogIcon::kError;
  if (edit_button != 0) {
    DialogButton edit = DrawnButton(kIdEdit);
    edit.enabled = edit_button == 1;
    dialog.buttons.push_back(edit);
  }
  dialog.buttons.push_back(DrawnButton(kIdExit));
  dialog.default_button = dialog.buttons.size() - 1;
  dialog.escape_result = kIdExit;
  dialog.always_on_top = true;
  for (;;) {
    const int32_t drawn = RunDrawnDialog(owner, &dialog);
    if (drawn < 0) break;
    if (drawn != kIdEdit) return kIdExit;
    if (on_edit != nullptr) on_edit(context);
  }
  const std::string title = SdlText(title_sjis);
  const std::string text = SdlText(text_sjis);
  // SDL cannot show a disabled button: a disabled Edit is left out.
  ButtonSet set{1, {{kIdExit, "Exit"}, {}, {}}, kIdExit};
  if (edit_button == 1) set = ButtonSet{2, {{kIdEdit, "Edit"}, {kIdExit, "Exit"}, {}}, kIdExit};
  while (ShowBox(owner, title, text, SDL_MESSAGEBOX_ERROR, set, 0) == kIdEdit) {
    if (on_edit != nullptr) on_edit(context);
  }
  return kIdExit;
}

}  // namespace korvel::platform::sdl
