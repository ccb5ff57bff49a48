// The clipboard text, forwarded to the active backend.
#include "platform/clipboard.h"

#include "platform/backend.h"

namespace korvel::platform {

bool SetClipboardText(std::string_view text_sjis) {
  const size_t nul = text_sjis.find('\0');
  if (nul != std::string_view::npos) text_sjis = text_sjis.substr(0, nul);
  Backend* b = ActiveBackendObject();
  return b != nullptr && b->SetClipboardText(text_sjis);
}

bool GetClipboardText(std::string* text_sjis) {
  text_sjis->clear();
  Backend* b = ActiveBackendObject();
  return b != nullptr && b->GetClipboardText(text_sjis);
}

}  // namespace korvel::platform
