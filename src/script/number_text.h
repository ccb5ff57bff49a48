// Number text without locale: integers in base 10, doubles as the C locale's "%f", and the readers
// that scripts use to turn texts back into numbers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Room for any int64 (20 characters), or any double in "%f" form (at most 317 characters).
inline constexpr size_t kNumberTextCapacity = 330;

// Writes the text and a NUL into `out` (kNumberTextCapacity bytes); returns the length.
size_t FormatInt64(char* out, int64_t value);
size_t FormatDoubleFixed(char* out, double value);  // six decimals, "%f" in the C locale

// "0x" followed by 1 to 16 hexadecimal digits (the digits end at the first other character).
// Returns false when the text does not start with "0x", or has no digit or more than 16.
bool StartsWithHexPrefix(const char* text, size_t length);
bool ParseHexText(const char* text, size_t length, int64_t* value);

// Scans a decimal number text: every character must be a digit, '-' or '.'. Returns false at the
// first other character (a Shift-JIS lead byte included); `has_dot` tells whether a '.' was seen.
bool ScanDecimalText(const char* text, size_t length, bool* has_dot);

// The longest prefix that reads as a decimal number, as a double (0.0 when none).
double ParseDoublePrefix(const char* text, size_t length);
// An optional '-' then digits up to the first other character; wraps modulo 2^64 (0 when none).
int64_t ParseIntPrefix(const char* text, size_t length);

}  // namespace korvel
