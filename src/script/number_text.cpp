// Locale-free number text.
#include "script/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace korvel {

size_t FormatInt64(char* out, int64_t value) {
  const auto r = std::to_chars(out, out + kNumberTextCapacity - 1, value);
  *r.ptr = '\0';
  return static_cast<size_t>(r.ptr - out);
}

size_t FormatDoubleFixed(char* out, double value) {
  size_t n = 0;
  if (std::isnan(value)) {
    const char* text = std::signbit(value) ? "-nan" : "nan";
    n = std::strlen(text);
    std::memcpy(out, text, n);
  } else if (std::isinf(value)) {
    const char* text = value < 0 ? "-inf" : "inf";
    n = std::strlen(text);
    std::memcpy(out, text, n);
  } else {
    const auto r = std::to_chars(out, out + kNumberTextCapacity - 1, value,
                                 std::chars_format::fixed, 6);
    n = r.ec == std::errc{} ? static_cast<size_t>(r.ptr - out) : 0;
  }
  out[n] = '\0';
  return n;
}

bool StartsWithHexPrefix(const char* text, size_t length) {
  return length >= 2 && text[0] == '0' && text[1] == 'x';
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool ParseHexText(const char* text, size_t length, int64_t* value) {
  if (!StartsWithHexPrefix(text, length)) return false;
  uint64_t v = 0;
  size_t digits = 0;
  for (size_t i = 2; i < length; ++i) {
    const int d = HexDigit(text[i]);
    if (d < 0) break;
    if (++digits > 16) return false;
    v = v << 4 | static_cast<uint64_t>(d);
  }
  if (digits == 0) return false;
  *value = static_cast<int64_t>(v);
  return true;
}

bool ScanDecimalText(const char* text, size_t length, bool* has_dot) {
  *has_dot = false;
  for (size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == '.') {
      *has_dot = true;
    } else if (!((c >= '0' && c <= '9') || c == '-')) {
      return false;
    }
  }
  return true;
}

double ParseDoublePrefix(const char* text, size_t length) {
  double v = 0.0;
  const auto r = std::from_chars(text, text + length, v, std::chars_format::fixed);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large (a non-zero digit before the point) or too small for a double.
    bool large = false;
    for (size_t i = 0; i < length && text[i] != '.'; ++i) {
      if (text[i] >= '1' && text[i] <= '9') large = true;
    }
    if (!large) return 0.0;
    return text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
  }
  return r.ec == std::errc{} ? v : 0.0;
}

int64_t ParseIntPrefix(const char* text, size_t length) {
  size_t i = 0;
  bool negative = false;
  if (i < length && text[i] == '-') {
    negative = true;
    ++i;
  }
  uint64_t v = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
    v = v * 10 + static_cast<uint64_t>(text[i] - '0');
  }
  return static_cast<int64_t>(negative ? 0 - v : v);
}

}  // namespace korvel
