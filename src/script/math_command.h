// Command 46: one numeric function of one or two operands (trigonometry, roots, powers, logarithms,
// absolute value, a random integer in a range, CRC-32 of a text) stored into a variable element.
#pragma once

#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandMath = 46;

// The first selector given (parameters 4..21, in the command's fixed order) chooses the function of
// operand x (parameter 1) and y (parameter 2), evaluated by the command itself; the result goes to
// parameter 0's element. Nothing happens without a selector. 0, or -1 when the decoder failed.
int32_t RunMathCommand();

// A random integer from x to y inclusive (swapped when y < x) from a 32-bit generator output r:
// x + r mod (y - x + 1), the range taken in unsigned 64-bit arithmetic so every range works.
int64_t RandomInRange(int64_t x, int64_t y, uint32_t r);

}  // namespace korvel
