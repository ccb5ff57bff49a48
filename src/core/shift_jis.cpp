// Shift-JIS byte helpers.
#include "core/shift_jis.h"

#include <cstring>

#include "platform/ascii_text.h"

namespace korvel {

namespace {

using platform::AsciiLower;

void ReplaceSingleByte(char* text, char from, char to) {
  const size_t length = std::strlen(text);
  for (size_t i = 0; i < length;) {
    const size_t n = SjisCharLength(text, i, length);
    if (n == 1 && text[i] == from) text[i] = to;
    i += n;
  }
}

}  // namespace

void LowercaseAsciiDbcs(char* text) {
  const size_t length = std::strlen(text);
  for (size_t i = 0; i < length;) {
    const size_t n = SjisCharLength(text, i, length);
    if (n == 1) text[i] = AsciiLower(text[i]);
    i += n;
  }
}

bool StringEndsWith(std::string_view text, std::string_view suffix) {
  return platform::EndsWithNoCase(text, suffix);
}

std::string LookupName(std::string_view script_name) {
  std::string name(script_name.substr(0, script_name.find('\0')));
  LowercaseAsciiDbcs(name.data());
  SlashToBackslash(name.data());
  return name;
}

void SlashToBackslash(char* text) { ReplaceSingleByte(text, '/', '\\'); }
void BackslashToSlash(char* text) { ReplaceSingleByte(text, '\\', '/'); }

}  // namespace korvel
