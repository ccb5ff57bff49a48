// Code page 932 (Shift-JIS as Windows has it) to and from UTF-8. Engine strings stay code page 932;
// only the platform layer converts, at the edge (file names, window titles, dialogs, stderr).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace korvel::platform {

// Lead bytes of a double-byte character: 0x81..0x9F and 0xE0..0xFC.
constexpr bool IsCp932LeadByte(uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// The longest prefix of a code page 932 text within `limit` bytes that splits no double-byte
// character: every text the engine cuts to a buffer or field size. A lead byte takes the next byte
// with it whatever that is (NUL too); a lead byte that is the last byte is one byte.
size_t Cp932PrefixWithin(std::string_view text, size_t limit);

// What cannot be converted becomes "?". A lead byte followed by NUL or by the end is one byte.
// Conversion stops at the first NUL, so a fixed-size buffer can be passed whole.
std::string Cp932ToUtf8(std::string_view sjis);
std::string Utf8ToCp932(std::string_view utf8);

}  // namespace korvel::platform
