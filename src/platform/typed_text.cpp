// An edit field's typing: characters added within the byte limit, and backspace.
#include "platform/typed_text.h"

#include <cstdint>
#include <utility>

#include "platform/text_encoding.h"

namespace korvel::platform {

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

}  // namespace korvel::platform
