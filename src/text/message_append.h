// Appending to the message record: characters with a copy of the current style, and control marks.
// Every append checks room first; running out is error 102000.
#pragma once

#include <cstdint>

namespace korvel {

// Characters may fill the buffer up to this many bytes (the NUL after them always has room).
inline constexpr int32_t kMessageTextLimit = 8190;
// Op entries usable by appends; the entry after them holds the NUL written after a text.
inline constexpr int32_t kMessageOpLimit = 8191;
inline constexpr int32_t kErrorMessageTooLong = 102000;
// Longest delay an op can hold (its field is 16-bit signed).
inline constexpr uint32_t kMaxCharDelay = 32767;

// Number of characters (ops) in `n` bytes: a lead byte with a following byte is one character, a
// lone lead byte at the end is one byte.
int32_t CountMessageCharacters(const uint8_t* text, int32_t n);

// Appends the characters of `text` (already checked and, for values, already cleaned), one op each
// with the current style, then the NULs. The caller has checked room with MessageHasRoom.
void AppendMessageCharacters(const uint8_t* text, int32_t n);

// Whether `bytes` more character bytes and `ops` more ops fit.
bool MessageHasRoom(int32_t bytes, int32_t ops);

// Appends control mark `op`; with `metrics` its advance and line height are recorded. 0, or -1
// after error 102000 (fatal) when the ops are full.
int32_t AppendMessageMark(uint8_t op, bool metrics);

}  // namespace korvel
