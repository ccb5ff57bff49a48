// Appending characters and control marks to the message record.
#include "text/message_append.h"

#include <algorithm>
#include <cstring>

#include "core/error_report.h"
#include "core/shift_jis.h"
#include "text/message_text_state.h"

namespace korvel {

namespace {

size_t CharLength(const uint8_t* text, int32_t i, int32_t n) {
  return SjisCharLength(reinterpret_cast<const char*>(text), static_cast<size_t>(i),
                        static_cast<size_t>(n));
}

}  // namespace

int32_t CountMessageCharacters(const uint8_t* text, int32_t n) {
  int32_t count = 0;
  for (int32_t i = 0; i < n; i += static_cast<int32_t>(CharLength(text, i, n))) ++count;
  return count;
}

bool MessageHasRoom(int32_t bytes, int32_t ops) {
  const MessageTextState& m = *g_message;
  return bytes >= 0 && ops >= 0 && int64_t{m.char_count} + bytes <= kMessageTextLimit &&
         int64_t{m.op_count} + ops <= kMessageOpLimit;
}

void AppendMessageCharacters(const uint8_t* text, int32_t n) {
  MessageTextState& m = *g_message;
  const uint32_t delay = std::min(m.char_delay, kMaxCharDelay);
  std::memcpy(m.characters + m.char_count, text, static_cast<size_t>(n));
  for (int32_t i = 0; i < n;) {
    const auto length = static_cast<int32_t>(CharLength(text, i, n));
    const int32_t at = m.op_count;
    m.colours[at] = m.colour;
    m.second_colours[at] = m.second_colour;
    m.gradient_directions[at] = m.gradient_direction;
    m.rotations[at] = m.rotation;
    m.bold_flags[at] = m.bold;
    m.advances[at] = static_cast<int16_t>(m.advance);
    m.line_heights[at] = static_cast<int16_t>(m.line_height);
    m.ops[at] = length == 2 ? kOpTwoByte : kOpOneByte;
    m.delays[at] = static_cast<int16_t>(length == 2 ? delay : delay / 2);
    m.op_count += 1;
    i += length;
  }
  m.char_count += n;
  m.characters[m.char_count] = 0;
  m.ops[m.op_count] = 0;
}

int32_t AppendMessageMark(uint8_t op, bool metrics) {
  MessageTextState& m = *g_message;
  if (!MessageHasRoom(0, 1)) {
    ReportScriptErrorPlain(kErrorMessageTooLong, true);
    return -1;
  }
  const int32_t at = m.op_count;
  m.ops[at] = op;
  if (metrics) {
    m.advances[at] = static_cast<int16_t>(m.advance);
    m.line_heights[at] = static_cast<int16_t>(m.line_height);
  }
  m.op_count += 1;
  return 0;
}

}  // namespace korvel
