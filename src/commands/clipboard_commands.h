// Commands 5 and 6: put a text on the clipboard and read it back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvel {

inline constexpr uint8_t kCommandClipboardSet = 5;
inline constexpr uint8_t kCommandClipboardGet = 6;
// Bytes of the clipboard's text that a read looks at.
inline constexpr size_t kClipboardReadLimit = 1024;

// What a read keeps of the clipboard's text: its first 1024 bytes without the bytes below 32, a
// double-byte character whole or not at all.
std::string FilterClipboardText(std::string_view text);

// Command 5: index 0 must be given, index 1 is the text. Returns 0.
int32_t RunClipboardSetCommand();
// Command 6: index 0 must be given, index 1 the string element to fill. -1 when the clipboard holds
// no text.
int32_t RunClipboardGetCommand();

}  // namespace korvel
