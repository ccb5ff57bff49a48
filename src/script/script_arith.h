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

// Truncation toward zero; NaN and values outside the int64 range give INT64_MIN.
inline int64_t TruncToInt64(double d) {
  if (!(d >= -9223372036854775808.0 && d < 9223372036854775808.0)) {
    return std::numeric_limits<int64_t>::min();
  }
  return static_cast<int64_t>(d);
}

}  // namespace korvel
