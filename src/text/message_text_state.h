// The one message record: the text ops appended by the message commands, each with its own copy of
// the style in force when it was appended, and the play position of the message player.
#pragma once

#include <cstdint>

namespace korvel {

struct NamedTreeNode;

inline constexpr int32_t kMessageCapacity = 8192;  // bytes of characters, entries of ops
inline constexpr uint32_t kNoSecondColour = 0xFFFFFFFFu;
inline constexpr int32_t kNoKey = 1023;             // a key code that no key ever sets

// Op bytes of the op stream.
enum TextOp : uint8_t {
  kOpOneByte = '1',
  kOpTwoByte = '2',
  kOpClickWait = 'C',
  kOpBlockEnd = 'E',
  kOpPageClear = 'P',
  kOpPageClearAlt = 'p',
  kOpNewLine = 'R',
  kOpNewLineAlt = 'r',
};

struct MessageTextState {
  NamedTreeNode* target;  // layer node the text is typed into; null: nothing is drawn
  uint32_t char_delay;    // ms for a two-byte character; a one-byte character gets half
  uint32_t end_new_line;
  uint32_t end_page_clear;
  uint32_t end_click_wait;
  int32_t pen_x, pen_y;
  uint8_t shown;
  int32_t advance;      // current glyph width (low 16 bits go into the ops)
  int32_t line_height;  // current glyph height / line step
  uint32_t colour;         // 0xRRGGBB
  uint32_t second_colour;  // kNoSecondColour: none
  uint8_t gradient_direction;  // 0..8
  uint8_t rotation;            // quarter turns
  uint8_t bold;
  uint8_t blend;   // 0 overwrite, 1 blend
  uint8_t smooth;  // 1: 4x glyphs reduced to coverage
  uint8_t click_wait;
  uint8_t finished;
  uint8_t retime;

  uint8_t* characters;  // kMessageCapacity Shift-JIS bytes
  uint8_t* ops;         // kMessageCapacity TextOp bytes
  int16_t* advances;
  int16_t* line_heights;
  int16_t* delays;
  uint32_t* colours;
  uint32_t* second_colours;
  uint8_t* gradient_directions;
  uint8_t* rotations;
  uint8_t* bold_flags;

  int32_t char_count, op_count;
  int32_t char_index, op_index;
};

// The record (null before CreateMessageTextState).
extern MessageTextState* g_message;

// Allocates the record and its buffers with the defaults; 0, or 1 when memory runs out.
int CreateMessageTextState();
// Frees the record (shutdown, tests).
void FreeMessageTextState();
// Empties the record when the finished flag is set; else does nothing.
void ClearFinishedMessage();

}  // namespace korvel
