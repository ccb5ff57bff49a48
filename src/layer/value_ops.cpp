// Value operations of the layer command keywords.
#include "layer/value_ops.h"

#include "script/script_arith.h"

namespace korvel {

int64_t ApplyValueOp(uint8_t op, int64_t current, int64_t operand, int64_t minimum,
                     int64_t maximum) {
  switch (op) {
    case kValueSet:
      return operand;
    case kValueAdd: {
      const int64_t r = WrapAdd(current, operand);
      return r > maximum ? maximum : r;
    }
    case kValueSubtract: {
      const int64_t r = WrapSub(current, operand);
      return r < minimum ? minimum : r;
    }
    case kValueMultiply:
      return ClampValue(WrapMul(current, operand), minimum, maximum);
    case kValueDivide:
      if (operand == 0) return current;
      return ClampValue(SafeDiv(current, operand), minimum, maximum);
    default:
      return current;
  }
}

int64_t ApplyValueOpMin(uint8_t op, int64_t current, int64_t operand, int64_t minimum) {
  switch (op) {
    case kValueSet:
      return operand;
    case kValueAdd:
      return WrapAdd(current, operand);
    case kValueSubtract:
    case kValueMultiply:
    case kValueDivide:
      return ApplyValueOp(op, current, operand, minimum, INT64_MAX);
    default:
      return current;
  }
}

}  // namespace korvel
