// The desktop services of platform/input_dialog.h, forwarded to the active backend.
#include "platform/input_dialog.h"

#include <utility>

#include "platform/backend.h"
#include "platform/text_encoding.h"

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

bool ShowTrayIcon(WindowId owner, const uint8_t* bgra, std::string_view tip_sjis) {
  const size_t nul = tip_sjis.find('\0');
  if (nul != std::string_view::npos) tip_sjis = tip_sjis.substr(0, nul);
  Backend* b = ActiveBackendObject();
  return b != nullptr && b->ShowTrayIcon(owner, bgra, tip_sjis);
}

void RemoveTrayIcon() {
  if (Backend* b = ActiveBackendObject()) b->RemoveTrayIcon();
}

void AppendTypedText(std::string* text_utf8, std::string_view typed_utf8, size_t limit) {
  for (size_t i = 0; i < typed_utf8.size();) {
    const auto b = static_cast<uint8_t>(typed_utf8[i]);
    size_t n = 1;
    if (b >= 0xF0) {
      n = 4;
    } else if (b >= 0xE0) {
      n = 3;
    } else if (b >= 0xC0) {
      n = 2;
    }
    if (i + n > typed_utf8.size()) break;
    if (b >= 0x20 && b != 0x7F) {
      std::string candidate = *text_utf8;
      candidate.append(typed_utf8.substr(i, n));
      if (Utf8ToCp932(candidate).size() > limit) break;
      *text_utf8 = std::move(candidate);
    }
    i += n;
  }
}

void RemoveLastTypedChar(std::string* text_utf8) {
  while (!text_utf8->empty()) {
    const auto b = static_cast<uint8_t>(text_utf8->back());
    text_utf8->pop_back();
    if ((b & 0xC0) != 0x80) break;
  }
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
