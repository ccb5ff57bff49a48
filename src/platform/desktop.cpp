// The desktop services of platform/desktop.h, forwarded to the active backend.
#include "platform/desktop.h"

#include "platform/backend.h"
#include "platform/text_encoding.h"

namespace korvel::platform {
namespace {

bool IsLeadByte(uint8_t byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

}  // namespace

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

bool SetSystemCursor(SystemCursor cursor) {
  Backend* b = ActiveBackendObject();
  return b != nullptr && b->SetSystemCursor(cursor);
}

bool SetImageCursor(const uint8_t* bgra, int32_t width, int32_t height, int32_t hot_x,
                    int32_t hot_y) {
  if (bgra == nullptr || width <= 0 || height <= 0 || width > 1024 || height > 1024) return false;
  Backend* b = ActiveBackendObject();
  return b != nullptr && b->SetImageCursor(bgra, width, height, hot_x, hot_y);
}

size_t Cp932PrefixWithin(std::string_view text, size_t limit) {
  size_t end = 0;
  while (end < text.size()) {
    const size_t n = IsLeadByte(static_cast<uint8_t>(text[end])) && end + 1 < text.size() ? 2 : 1;
    if (end + n > limit) break;
    end += n;
  }
  return end;
}

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
