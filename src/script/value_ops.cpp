// Value operations of command arguments, on the integer assignment operators.
#include "script/value_ops.h"

#include <cstdint>

#include "script/script_arith.h"

namespace korvel {

int64_t ApplyAssignOperator(uint8_t op, int64_t value, int64_t operand) {
  return op <= kValueDivide ? ApplyIntegerOperator(op, value, operand) : value;
}

int64_t ApplyValueOp(uint8_t op, int64_t current, int64_t operand, int64_t minimum,
                     int64_t maximum) {
  // A zero divisor keeps the current value as it is, outside the range or not.
  if (op > kValueDivide || (op == kValueDivide && operand == 0)) return current;
  const int64_t r = ApplyIntegerOperator(op, current, operand);
  switch (op) {
    case kValueSet: return r;
    case kValueAdd: return r > maximum ? maximum : r;
    case kValueSubtract: return r < minimum ? minimum : r;
    default: return ClampValue(r, minimum, maximum);
  }
}

int64_t ApplyValueOpMin(uint8_t op, int64_t current, int64_t operand, int64_t minimum) {
  return ApplyValueOp(op, current, operand, minimum, INT64_MAX);
}

}  // namespace korvel
