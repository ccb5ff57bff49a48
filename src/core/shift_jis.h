// Shift-JIS (code page 932) byte helpers shared by every text scan in the engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text_encoding.h"

namespace korvel {

// The lead-byte test lives with the platform's code page 932 conversion, the lowest layer.
using platform::IsCp932LeadByte;

// Length in bytes of the character at `text[i]` within `length` bytes: 2 for a lead byte followed by
// a non-NUL byte inside the text, else 1. A lead byte followed by NUL or the end is one byte, so no
// scan reads past the text.
inline size_t SjisCharLength(const char* text, size_t i, size_t length) {
  const auto b = static_cast<uint8_t>(text[i]);
  if (IsCp932LeadByte(b) && i + 1 < length && text[i + 1] != '\0') return 2;
  return 1;
}

// Lower-cases ASCII letters in place, stepping over double-byte characters (their trail bytes may
// look like letters). Stops at NUL.
void LowercaseAsciiDbcs(char* text);

// True when `text` ends with `suffix`, compared without regard to ASCII case.
bool StringEndsWith(std::string_view text, std::string_view suffix);

// Turns every '/' into '\' (or the reverse), stepping over double-byte characters.
void SlashToBackslash(char* text);
void BackslashToSlash(char* text);

// A name from a script as the file lookups and their reports want it: the text up to its first
// NUL, ASCII letters lower-cased and '/' turned into '\', double-byte characters stepped over.
std::string LookupName(std::string_view script_name);

}  // namespace korvel
