// The value operations of command arguments: 0 set, 1 add, 2 subtract, 3 multiply, 4 divide, on
// signed 64-bit values that wrap (no overflow trap, no INT64_MIN / -1 trap); the first five integer
// assignment operators, unclamped or limited to a range.
#pragma once

#include <cstdint>

namespace korvel {

enum : uint8_t { kValueSet = 0, kValueAdd = 1, kValueSubtract = 2, kValueMultiply = 3,
                 kValueDivide = 4 };

// The unclamped operation (array sizes, layer fields, window fields): a divisor of 0 keeps the
// value, as does any other operation code.
int64_t ApplyAssignOperator(uint8_t op, int64_t value, int64_t operand);

// Set returns the operand unclamped; add is limited only by the maximum, subtract only by the
// minimum, multiply and divide by both; a divisor of 0 keeps the current value, as does any other
// operation code.
int64_t ApplyValueOp(uint8_t op, int64_t current, int64_t operand, int64_t minimum,
                     int64_t maximum);

// The variant with only a minimum, applied to subtract, multiply and divide (order keys).
int64_t ApplyValueOpMin(uint8_t op, int64_t current, int64_t operand, int64_t minimum);

// Clamps into minimum..maximum.
inline int64_t ClampValue(int64_t value, int64_t minimum, int64_t maximum) {
  return value < minimum ? minimum : (value > maximum ? maximum : value);
}

}  // namespace korvel
