// The Japanese line-breaking table in code page 932 bytes.
#include "text/line_break_table.h"

#include <cstring>

namespace korvel {

const std::array<LineBreakSlot, kLineBreakSlots> LineBreakTable = {{
    {{0x81, 0x6A, 0, 0}},  // ）
    {{0x81, 0x78, 0, 0}},  // 』
    {{0x81, 0x76, 0, 0}},  // 」
    {{0x81, 0x41, 0, 0}},  // 、
    {{0x81, 0x42, 0, 0}},  // 。
    {{0x83, 0x62, 0, 0}},  // ッ
    {{0x83, 0x87, 0, 0}},  // ョ
    {{0x83, 0x85, 0, 0}},  // ュ
    {{0x83, 0x83, 0, 0}},  // ャ
    {{0x83, 0x48, 0, 0}},  // ォ
    {{0x83, 0x46, 0, 0}},  // ェ
    {{0x83, 0x44, 0, 0}},  // ゥ
    {{0x83, 0x42, 0, 0}},  // ィ
    {{0x83, 0x40, 0, 0}},  // ァ
    {{0x82, 0xC1, 0, 0}},  // っ
    {{0x82, 0xE5, 0, 0}},  // ょ
    {{0x82, 0xE3, 0, 0}},  // ゅ
    {{0x82, 0xE1, 0, 0}},  // ゃ
    {{0x82, 0xA7, 0, 0}},  // ぉ
    {{0x82, 0xA5, 0, 0}},  // ぇ
    {{0x82, 0xA3, 0, 0}},  // ぅ
    {{0x82, 0xA1, 0, 0}},  // ぃ
    {{0x82, 0x9F, 0, 0}},  // ぁ
    {{0x81, 0x48, 0, 0}},  // ？
    {{0x81, 0x49, 0, 0}},  // ！
    {{0x81, 0x69, 0, 0}},  // （
    {{0x81, 0x77, 0, 0}},  // 『
    {{0x81, 0x75, 0, 0}},  // 「
}};

bool MatchesLineBreakSlot(const uint8_t* glyph, int32_t slot) {
  if (slot < 0 || slot >= kLineBreakSlots) return false;
  return std::strcmp(reinterpret_cast<const char*>(glyph),
                     reinterpret_cast<const char*>(LineBreakTable[static_cast<size_t>(slot)].data())) == 0;
}

bool IsNoBeginCharacter(const uint8_t* glyph) {
  for (int32_t slot = kNoBeginCount - 1; slot >= 0; --slot) {
    if (MatchesLineBreakSlot(glyph, slot)) return true;
  }
  return false;
}

}  // namespace korvel
