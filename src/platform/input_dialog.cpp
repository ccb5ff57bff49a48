// The text-input dialog, shown by the active backend; the answer cut to its limit and logged.
#include "platform/input_dialog.h"

#include "platform/backend.h"
#include "platform/text_encoding.h"

namespace korvel::platform {

int32_t InputDialog(WindowId owner, const InputDialogRequest& request, std::string* answer_sjis) {
  answer_sjis->clear();
  Backend* b = ActiveBackendObject();
  const int32_t result = b != nullptr ? b->InputDialog(owner, request, answer_sjis) : -1;
  if (result == kIdOk) {
    size_t limit = kInputDialogMaxAnswer;
    if (request.limit > 0 && static_cast<size_t>(request.limit) < limit) {
      limit = static_cast<size_t>(request.limit);
    }
    answer_sjis->resize(Cp932PrefixWithin(*answer_sjis, limit));
  }
  LogDialog(request.title, request.label,
            result == kIdOk ? "text:" + Cp932ToUtf8(*answer_sjis) : std::to_string(result));
  return result;
}

}  // namespace korvel::platform
