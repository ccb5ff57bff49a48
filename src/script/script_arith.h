// Script-driven arithmetic: 64-bit integers wrap in two's complement, division by zero gives 0, and
// INT64_MIN / -1 cannot trap. Doubles that no 64-bit integer holds (NaN, out of range) convert to
// INT64_MIN, as the x86 conversion instruction does.
#pragma once

#include <cstdint>
#include <limits>

namespace korvel {

inline int64_t WrapAdd(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
inline int64_t WrapSub(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
inline int64_t WrapMul(int64_t a, int64_t b) {
  return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}
inline int64_t WrapNeg(int64_t a) { return static_cast<int64_t>(0 - static_cast<uint64_t>(a)); }

// Truncating division; a zero divisor gives 0 and INT64_MIN / -1 gives INT64_MIN.
inline int64_t SafeDiv(int64_t a, int64_t b) {
  if (b == 0) return 0;
  if (b == -1) return WrapNeg(a);
  return a / b;
}
// Remainder with the sign of the left operand; a zero divisor gives 0, INT64_MIN % -1 gives 0.
inline int64_t SafeRem(int64_t a, int64_t b) {
  if (b == 0 || b == -1) return 0;
  return a % b;
}

// The integer assignment operators: 0 =, 1 +=, 2 -=, 3 *=, 4 /=, 5 %=, 6 &=, 7 |=, 8 ^=. They
// wrap; /= and %= by 0 keep the value, as does any other operator.
inline int64_t ApplyIntegerOperator(uint8_t op, int64_t value, int64_t operand) {
  switch (op) {
    case 0: return operand;
    case 1: return WrapAdd(value, operand);
    case 2: return WrapSub(value, operand);
    case 3: return WrapMul(value, operand);
    case 4: return operand == 0 ? value : SafeDiv(value, operand);
    case 5: return operand == 0 ? value : SafeRem(value, operand);
    case 6: return value & operand;
    case 7: return value | operand;
    case 8: return value ^ operand;
    default: return value;
  }
}

// Truncation toward zero; NaN and values outside the int64 range give INT64_MIN.
inline int64_t TruncToInt64(double d) {
  if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) {
    return std::numeric_limits<int64_t>::min();
  }
  return static_cast<int64_t>(d);
}

}  // namespace korvel
