// The text-input dialog of the SDL backend: the engine-drawn dialog with its edit field and one OK
// button; the input method's composition is shown in the field while it lasts.
#include "platform/sdl/sdl_drawn_dialog.h"
#include "platform/text_encoding.h"

namespace korvel::platform::sdl {

int32_t SdlBackend::InputDialog(WindowId owner, const InputDialogRequest& request,
                                std::string* answer_sjis) {
  DrawnDialog dialog;
  dialog.title_sjis = request.title;
  dialog.text_sjis = request.label;
  DialogButton ok;
  ok.id = kIdOk;
  ok.label_utf8 = "OK";
  dialog.buttons.push_back(ok);
  dialog.edit = true;
  dialog.edit_limit = kInputDialogMaxAnswer;
  if (request.limit > 0 && static_cast<size_t>(request.limit) < dialog.edit_limit) {
    dialog.edit_limit = static_cast<size_t>(request.limit);
  }
  const std::string start =
      request.default_text.substr(0, Cp932PrefixWithin(request.default_text, dialog.edit_limit));
  dialog.edit_text_utf8 = Cp932ToUtf8(start);
  if (RunDrawnDialog(owner, &dialog) != kIdOk) return -1;
  *answer_sjis = Utf8ToCp932(dialog.edit_text_utf8);
  return kIdOk;
}

}  // namespace korvel::platform::sdl
