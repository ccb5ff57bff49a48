// The system variables that scripts may set: input counters of the key table and the joysticks,
// a few engine values, and the engine texts behind string ids 100, 101, 106 and 109.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Stores a key counter as the key's state allows: a key that is down keeps only a positive value,
// a key that is up only a negative one (anything else stores 0). Codes outside the key table do
// nothing.
void SetKeyCounter(int32_t code, int64_t value);
// Stores a key's press count (a negative value stores 0).
void SetKeyPresses(int32_t code, int64_t value);

// The kind of write a system variable takes.
enum class SystemWriteKind : uint8_t { kNone, kInteger, kText };
SystemWriteKind SystemVariableWriteKind(uint32_t id, int64_t element);

// Sets integer system variable `id`, element `element`: 0, or -1 after reporting 101150 (fatal)
// for a variable scripts cannot set. Elements outside the key table or the joysticks do nothing.
int32_t WriteSystemValueById(uint32_t id, int64_t element, int64_t value);
// Sets string system variable 100, 101 (cut to 4095 bytes on a character boundary), 106 or 109 (a
// tree's base path, normalised; a path that does not fit the base path's buffer is error 900020).
// 0, or -1 after a report.
int32_t WriteSystemTextById(uint32_t id, const char* text, size_t length);

}  // namespace korvel
