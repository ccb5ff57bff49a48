// The Japanese line-breaking table: the code page 932 characters that may not begin a line, the
// exclamation and question marks, and the characters that may not end a line.
#pragma once

#include <array>
#include <cstdint>

namespace korvel {

// One two-byte character, NUL-terminated, in a 4-byte slot.
using LineBreakSlot = std::array<uint8_t, 4>;

inline constexpr int32_t kLineBreakSlots = 28;
inline constexpr int32_t kNoBeginCount = 23;       // slots 0..22: may not begin a line
inline constexpr int32_t kQuestionSlot = 23;       // "？"
inline constexpr int32_t kExclamationSlot = 24;    // "！"
inline constexpr int32_t kOpenParenSlot = 25;      // "（"
inline constexpr int32_t kOpenDoubleQuoteSlot = 26;  // "『"
inline constexpr int32_t kOpenQuoteSlot = 27;      // "「"

extern const std::array<LineBreakSlot, kLineBreakSlots> LineBreakTable;

// Whole-string comparison of a NUL-terminated character against slot `slot`.
bool MatchesLineBreakSlot(const uint8_t* glyph, int32_t slot);
// The character is one of the 23 that may not begin a line.
bool IsNoBeginCharacter(const uint8_t* glyph);

}  // namespace korvel
