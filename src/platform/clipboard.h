// The desktop's clipboard text. Texts are code page 932; the backends convert at the edge.
#pragma once

#include <string>
#include <string_view>

namespace korvel::platform {

// Puts a text on the clipboard (up to its first NUL). Headless: kept in memory. False on failure.
bool SetClipboardText(std::string_view text_sjis);
// The clipboard's text; false when it holds none.
bool GetClipboardText(std::string* text_sjis);

}  // namespace korvel::platform
