// The engine's own fixed texts (messages, titles) are written in the sources as UTF-8 and handed to
// the rest of the engine as code page 932, like every other engine string.
#pragma once

#include <string>
#include <string_view>

#include "platform/text_encoding.h"

namespace korvel {

inline std::string Sjis(std::string_view utf8) { return platform::Utf8ToCp932(utf8); }

}  // namespace korvel
