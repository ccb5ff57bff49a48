// An edit field's typing, on UTF-8 text kept within a byte limit as code page 932.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace korvel::platform {

// Adds typed or pasted UTF-8 text character by character while the text, as code page 932, stays
// within `limit` bytes (control characters are skipped; the first one that does not fit ends the
// addition). Backspace takes off the last character.
void AppendTypedText(std::string* text_utf8, std::string_view typed_utf8, size_t limit);
void RemoveLastTypedChar(std::string* text_utf8);

}  // namespace korvel::platform
