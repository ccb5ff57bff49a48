// Code page 932 <-> UTF-8 through iconv ("CP932", which keeps Windows' mappings such as 0x8160 <->
// U+FF5E). Unconvertible input becomes "?"; nothing reads past the given text. Also the cut at a
// byte limit on a character boundary.
#include "platform/text_encoding.h"

#include <errno.h>
#include <iconv.h>

#include <cstdint>
#include <cstring>

namespace korvel::platform {
namespace {

// One pair of converters per thread: an iconv_t must not be used by two threads at once.
struct Converters {
  iconv_t to_utf8 = reinterpret_cast<iconv_t>(-1);
  iconv_t to_cp932 = reinterpret_cast<iconv_t>(-1);
  Converters() {
    to_utf8 = iconv_open("UTF-8", "CP932");
    to_cp932 = iconv_open("CP932", "UTF-8");
  }
  ~Converters() {
    if (to_utf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(to_utf8);
    if (to_cp932 != reinterpret_cast<iconv_t>(-1)) iconv_close(to_cp932);
  }
  Converters(const Converters&) = delete;
  Converters& operator=(const Converters&) = delete;
};

Converters& ThreadConverters() {
  thread_local Converters converters;
  return converters;
}

bool IsTrailByte(uint8_t b) { return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC); }

// Length of the UTF-8 sequence at `p` (1..4) when it is well-formed within `left` bytes, else 1.
size_t Utf8SequenceLength(const uint8_t* p, size_t left) {
  size_t length = 1;
  if (p[0] >= 0xC2 && p[0] <= 0xDF) {
    length = 2;
  } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
    length = 3;
  } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    length = 4;
  }
  if (length > left) return 1;
  for (size_t i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 1;
  }
  return length;
}

// Skip for an input unit iconv refused: a whole double-byte character when the pair is well
// formed but unassigned, else the single byte (so a following ASCII byte survives).
size_t Cp932RejectedLength(const uint8_t* p, size_t left) {
  if (IsCp932LeadByte(p[0]) && left >= 2 && IsTrailByte(p[1])) return 2;
  return 1;
}

using SkipFn = size_t (*)(const uint8_t* p, size_t left);

// Runs `cd` over `in` (up to its first NUL), turning each refused unit into "?".
std::string Convert(iconv_t cd, std::string_view in, SkipFn skip) {
  const size_t nul = in.find('\0');
  if (nul != std::string_view::npos) in = in.substr(0, nul);
  std::string out;
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    out.assign(in.size(), '?');
    return out;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.reserve(in.size() * 3 / 2 + 8);
  const char* src = in.data();
  size_t src_left = in.size();
  char buffer[512];
  while (src_left > 0) {
    char* dst = buffer;
    size_t dst_left = sizeof buffer;
    const size_t result = iconv(cd, const_cast<char**>(&src), &src_left, &dst, &dst_left);
    out.append(buffer, sizeof buffer - dst_left);
    if (result != static_cast<size_t>(-1)) break;
    if (errno == E2BIG) continue;
    out += '?';
    if (errno == EINVAL) break;  // a character cut off by the end of the text
    // EILSEQ: an invalid or unmappable unit; step over it.
    const size_t step = skip(reinterpret_cast<const uint8_t*>(src), src_left);
    src += step;
    src_left -= step;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  return out;
}

}  // namespace

size_t Cp932PrefixWithin(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t end = 0;
  while (end < text.size()) {
    const bool lead = IsCp932LeadByte(static_cast<uint8_t>(text[end]));
    const size_t n = lead && end + 1 < text.size() ? 2 : 1;
    if (end + n > limit) break;
    end += n;
  }
  return end;
}

std::string Cp932ToUtf8(std::string_view sjis) {
  return Convert(ThreadConverters().to_utf8, sjis, Cp932RejectedLength);
}

std::string Utf8ToCp932(std::string_view utf8) {
  return Convert(ThreadConverters().to_cp932, utf8, Utf8SequenceLength);
}

}  // namespace korvel::platform
