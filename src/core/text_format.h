// A typed printf-style formatter for the engine's messages: the arguments carry their own types, so a
// text with more directives than arguments (or of the wrong kind) never reads what is not there.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace korvel {

// One argument: a signed or unsigned integer (32 or 64 bits wide), a code page 932 string
// (NUL-terminated, or a view with its length), or a character.
struct FormatArg {
  enum class Kind : uint8_t { kSigned, kUnsigned, kString, kChar };

  Kind kind = Kind::kSigned;
  bool wide = false;     // a 64-bit integer; %x and %u of a 32-bit value use 32 bits, as printf does
  uint64_t bits = 0;     // integers: the value (signed ones sign-extended); characters: the byte
  const char* text = nullptr;
  size_t length = kNulTerminated;  // strings: the byte count, or kNulTerminated

  static constexpr size_t kNulTerminated = static_cast<size_t>(-1);

  constexpr FormatArg() = default;
  constexpr FormatArg(char c)  // NOLINT: implicit by design
      : kind(Kind::kChar), bits(static_cast<uint64_t>(static_cast<int64_t>(c))) {}
  template <std::signed_integral T>
    requires(!std::same_as<T, char>)
  constexpr FormatArg(T v)  // NOLINT
      : kind(Kind::kSigned), wide(sizeof(T) > 4),
        bits(static_cast<uint64_t>(static_cast<int64_t>(v))) {}
  template <std::unsigned_integral T>
    requires(!std::same_as<T, char> && !std::same_as<T, bool>)
  constexpr FormatArg(T v)  // NOLINT
      : kind(Kind::kUnsigned), wide(sizeof(T) > 4), bits(static_cast<uint64_t>(v)) {}
  constexpr FormatArg(bool v) : kind(Kind::kSigned), bits(v ? 1 : 0) {}  // NOLINT
  constexpr FormatArg(const char* s) : kind(Kind::kString), text(s) {}   // NOLINT
  FormatArg(const std::string& s)  // NOLINT
      : kind(Kind::kString), text(s.data()), length(s.size()) {}
  constexpr FormatArg(std::string_view s)  // NOLINT
      : kind(Kind::kString), text(s.data()), length(s.size()) {}
};

// Builds the argument array for a call; the array lives until the end of the full expression.
template <typename... Args>
constexpr std::array<FormatArg, sizeof...(Args)> MakeFormatArgs(const Args&... args) {
  return {FormatArg(args)...};
}

// Formats `format` (it ends at its first NUL or its end) with `args` into `out`, writing at most
// `out_size - 1` bytes and a NUL. Returns the number of bytes written (without the NUL).
// Directives: %d %i %u %x %X %c %s %% with the flags - 0 + space #, a width, a precision, and the
// length prefixes l, ll, I64 (64-bit) and I32. %n prints nothing and takes no argument. A directive
// that has no argument left, or that cannot use the argument's kind, or that is not understood, is
// copied as it stands. Output that does not fit is cut at a code page 932 character boundary.
size_t FormatText(char* out, size_t out_size, std::string_view format,
                  std::span<const FormatArg> args);

// Same, into a string of at most `limit` bytes.
std::string FormatText(std::string_view format, std::span<const FormatArg> args,
                       size_t limit = 1023);

// The length of the longest prefix of `text` that is at most `limit` bytes and does not end in the
// middle of a double-byte character.
size_t SjisPrefixLength(std::string_view text, size_t limit);

}  // namespace korvel
