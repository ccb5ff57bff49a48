// The expression evaluator: a stack machine over expression bytecode with parallel 64-bit integer and
// double stacks and a pool of 4096-byte string slots. Besides its result it records the last variable
// element the expression referred to, which is how commands find the element an argument names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "script/format_constants.h"

namespace korvel {

inline constexpr int32_t kExprStackSize = 1024;
inline constexpr int32_t kExprSlotCount = 1024;
inline constexpr int32_t kExprMaxLevels = 128;

enum : uint8_t {
  kModeInt = 1,
  kModeReal = 2,
  kModeStringInt = 3,
  kModeStringReal = 4,
};

struct ExpressionMachine {
  uint8_t mode;
  int32_t level;   // open subscript lists
  int32_t depth;   // stack entries in use
  int64_t ints[kExprStackSize];
  double reals[kExprStackSize];
  uint16_t slot_of[kExprStackSize];  // 0: the entry is a number
  char* slots[kExprSlotCount];       // allocated on first use, kept for the run
  uint16_t slot_length[kExprSlotCount];
  int32_t next_slot;
  const uint8_t* ip;  // the instruction being run

  char* result;          // string modes: the caller's buffer (kStringBufferSize bytes)
  size_t result_length;

  // Variable-reference registers.
  uint32_t var_number;
  int64_t element_index;
  uint8_t sigil;
  uint8_t whole;
  int32_t sub_count;
  int64_t subs[kMaxDimensions];

  // Per open subscript list: where its placeholder sits, its variable and sigil.
  int32_t level_depth[kExprMaxLevels];
  uint32_t level_var[kExprMaxLevels];
  uint8_t level_sigil[kExprMaxLevels];

  uint8_t declare_mode;  // set by the declaration commands: subscripts are the shape
  uint8_t not_constant;  // binding mode: the expression referred to a variable
};

extern ExpressionMachine g_expr;

// A handler gets the instruction's operand; a non-zero result stops the evaluation.
using OpcodeHandler = int32_t (*)(const uint8_t* operand, uint32_t length);
extern OpcodeHandler g_opcode_table[256];

// Fills the opcode table: mode 1 is normal operation, mode 0 binding mode (a variable reference
// sets the not-constant flag and stops the evaluation).
void InstallExpressionOpcodes(int32_t mode);

// Runs bytecode with the mode already set; 0, or -1 when a handler stopped the evaluation.
int32_t RunExpressionBytecode(const uint8_t* code, size_t length);

// The entry points by expression type code (1..4).
int64_t EvaluateIntExpression(const uint8_t* code, size_t length);        // integer mode
int64_t EvaluateRealExpressionAsInt(const uint8_t* code, size_t length);  // real, truncated
double EvaluateIntExpressionAsReal(const uint8_t* code, size_t length);   // integer, converted
double EvaluateRealExpression(const uint8_t* code, size_t length);        // real mode
// String modes 3 and 4 into `buffer` (kStringBufferSize bytes): returns the bytes written without
// the NUL; 0 and the buffer untouched when the result is a number.
size_t EvaluateStringExpression(char* buffer, const uint8_t* code, size_t length);
size_t EvaluateStringExpressionMode4(char* buffer, const uint8_t* code, size_t length);

struct ExpressionEvaluatorTable {
  int64_t (*to_int[5])(const uint8_t* code, size_t length);
  double (*to_real[5])(const uint8_t* code, size_t length);
  double (*to_real_only[5])(const uint8_t* code, size_t length);
  size_t (*to_string[5])(char* buffer, const uint8_t* code, size_t length);
};
// Index 0 (never valid in checked script data) evaluates nothing and gives 0.
extern const ExpressionEvaluatorTable kExpressionEvaluatorTable;

// Resets the machine (registers, modes, opcode table in normal mode); string slots are kept.
void InitExpressionMachine();
// Frees the string slots as well.
void ShutdownExpressionMachine();

}  // namespace korvel
