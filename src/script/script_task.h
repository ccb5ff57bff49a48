// The script task record: one thread of script execution with its block, loop and call stacks, its
// waits and its copies of the current script file's tables.
#pragma once

#include <cstdint>

namespace korvel {

struct CommandArgRecord;

inline constexpr int32_t kTaskStackDepth = 64;  // blocks, loops and calls
inline constexpr int32_t kTaskArgumentCount = 10;

// One argument or return value of a call: integer, double and text, with a given flag.
struct CallValue {
  int64_t integer;
  double real;
  char* text;         // owned, grown on demand; null is the empty text
  uint8_t given;
  uint32_t capacity;  // bytes the text buffer holds
};

// One open subroutine call.
struct CallFrame {
  uint8_t block_depth;  // at the call
  uint8_t loop_depth;
  uint32_t return_index;  // command index to return to
  uint16_t caller_script;
  uint32_t caller_line;
  CallValue args[kTaskArgumentCount];     // k = 1..10
  CallValue results[kTaskArgumentCount];  // written by the return into the caller's frame
};

struct ScriptTask {
  uint64_t tick_stamp;  // the tick in which the task last ran
  uint8_t system_flag;  // the task SYSTEM, which cannot be stopped
  uint8_t message_busy;  // while set the task runs no commands
  int64_t int_args[kTaskArgumentCount];
  double double_args[kTaskArgumentCount];
  char* text_args[kTaskArgumentCount];

  int8_t block_depth;
  uint8_t block_loop_depth[kTaskStackDepth];
  uint32_t block_open_index[kTaskStackDepth];
  uint32_t block_end_target[kTaskStackDepth];
  uint8_t reserved1;

  int8_t call_depth;
  CallFrame** call_frames;  // owned block of kTaskStackDepth pointers; frames allocated on use

  int8_t loop_depth;
  uint8_t loop_block_depth[kTaskStackDepth];
  uint32_t loop_start_index[kTaskStackDepth];
  uint32_t loop_end_index[kTaskStackDepth];
  int64_t loop_counter[kTaskStackDepth];
  int64_t loop_count[kTaskStackDepth];  // -1: endless
  uint8_t reserved2;

  uint32_t message_position[2];  // the two words command 64 saves
  uint8_t enabled;
  uint8_t active;
  uint32_t frame_wait;  // ticks still to wait
  uint32_t wake_time;   // millisecond time before which the task does not run; 0 none
  uint32_t command_index;  // the next command

  // Copies of the current script file's tables.
  const void* command_tables;  // the pair of per-command tables (wrappers, handlers)
  const uint8_t* arg_counts;
  const CommandArgRecord* const* first_args;
  const uint8_t* expressions;
  const uint32_t* lines;
  uint16_t script_number;
};

}  // namespace korvel
