// The engine's modal text-input dialog. Texts are code page 932; the backends convert at the edge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace korvel::platform {

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

}  // namespace korvel::platform
