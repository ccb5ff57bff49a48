// The element operators of the assignment command: nine integer operators (slots 0..8) and the same
// nine for doubles (slots 9..17). Each does nothing when the index is outside the variable or the
// variable is not of the operator's type.
#pragma once

#include <cstdint>

namespace korvel {

union ElementOperand {
  int64_t integer;  // slots 0..8
  double real;      // slots 9..17
};

using ElementOperator = void (*)(uint32_t number, int64_t index, ElementOperand operand);

inline constexpr int32_t kElementOperatorCount = 18;
inline constexpr int32_t kRealOperatorBase = 9;

extern const ElementOperator kElementOperatorTable[kElementOperatorCount];

}  // namespace korvel
