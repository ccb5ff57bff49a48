// The message code's values that scripts read and write as system variables: three switch bytes
// (ids 96..98) and two texts (ids 100, 101). Plain storage defined here, so the script code that
// serves the variables needs no link to the text code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korvel {

inline constexpr size_t kMessageValueTextCapacity = 4096;  // texts hold at most 4095 bytes

struct MessageScriptValues {
  uint8_t switches[3];
  char texts[2][kMessageValueTextCapacity];  // NUL-terminated code page 932
};

inline MessageScriptValues g_message_values{};

inline void ResetMessageScriptValues() { std::memset(&g_message_values, 0, sizeof g_message_values); }

}  // namespace korvel
