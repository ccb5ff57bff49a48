// The position code: a task's place in its script (open blocks, calls and loops, the next command
// and the script file's source path) as a byte string of letters, for saving and restoring tasks.
#pragma once

#include <cstddef>
#include <cstdint>

#include "script/script_task.h"

namespace korvel {

// Fixed part: prefix 8, three depths and two reserved bytes 10, message word, command index and
// path length 24. Each open block adds 18, each call 20, each loop 34.
inline constexpr size_t kPositionCodeFixedLength = 42;
inline constexpr size_t kPositionBlockLength = 18;
inline constexpr size_t kPositionCallLength = 20;
inline constexpr size_t kPositionLoopLength = 34;
// With all three stacks 64 deep; the path comes on top.
inline constexpr size_t kMaxPositionCodeLength = kPositionCodeFixedLength +
                                                 64 * (kPositionBlockLength + kPositionCallLength +
                                                       kPositionLoopLength);
// At most this many bytes of the path are compared with the script paths.
inline constexpr size_t kPositionPathLimit = 262;

// A decoded position, before it is given to a task.
struct TaskPosition {
  uint8_t block_depth;
  uint8_t block_loop_depth[kTaskStackDepth];
  uint32_t block_open_index[kTaskStackDepth];
  uint32_t block_end_target[kTaskStackDepth];
  uint8_t reserved1;
  uint8_t call_depth;
  struct Call {
    uint8_t block_depth;
    uint8_t loop_depth;
    uint32_t return_index;
    uint16_t script_number;
  } calls[kTaskStackDepth];
  uint8_t loop_depth;
  uint8_t loop_block_depth[kTaskStackDepth];
  uint32_t loop_start_index[kTaskStackDepth];
  uint32_t loop_end_index[kTaskStackDepth];
  int64_t loop_counter[kTaskStackDepth];
  int64_t loop_count[kTaskStackDepth];
  uint8_t reserved2;
  uint32_t message_position;
  uint32_t command_index;
  uint16_t script_number;
};

// Writes the task's position code into `buffer` (`capacity` bytes, no NUL added). Returns its
// length, or -1 without buffer or task, with depths outside 0..64 or when it does not fit.
int32_t EncodeTaskPositionCode(char* buffer, size_t capacity, const ScriptTask* task);

// Reads a position code of exactly `length` bytes into `out`. Returns the bytes read; -1 without
// text or output; 0 after a fatal report: 900000 for a code that is malformed (prefix, length,
// letters outside 'a'..'p', depths above 63, call frames of unknown script files) and 102130 when
// the path names no script file.
int32_t ParseTaskPositionCode(const char* text, size_t length, TaskPosition* out);

// Gives a decoded position to a task (not its script file's tables). Missing call frames are
// allocated first; -1 after reporting 100010, the task unchanged; else 0.
int32_t ApplyTaskPosition(ScriptTask* task, const TaskPosition& position);

// ParseTaskPositionCode and ApplyTaskPosition: bytes read, -1 or 0 as there.
int32_t DecodeTaskPositionCode(const char* text, size_t length, ScriptTask* task);

}  // namespace korvel
