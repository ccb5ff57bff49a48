// Shift-JIS byte helpers.
#include "core/shift_jis.h"

#include <cstring>

namespace korvel {

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

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
  if (suffix.size() > text.size()) return false;
  const size_t start = text.size() - suffix.size();
  for (size_t i = 0; i < suffix.size(); ++i) {
    if (AsciiLower(text[start + i]) != AsciiLower(suffix[i])) return false;
  }
  return true;
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
