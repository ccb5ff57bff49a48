// The typed printf-style formatter.
#include "core/text_format.h"

#include <algorithm>
#include <cstring>

#include "core/shift_jis.h"

namespace korvel {

namespace {

// Widths and precisions above this are taken as this: the output is bounded anyway.
constexpr size_t kMaxFieldWidth = 1u << 20;

// Collects output up to `limit` bytes and remembers the first byte that did not fit, so the end can
// be moved back to a character boundary.
struct Sink {
  char* out;
  size_t limit;
  size_t length = 0;
  bool truncated = false;

  void Put(char c) {
    if (c == '\0') return;  // messages never hold NUL
    if (length < limit) {
      out[length++] = c;
    } else {
      truncated = true;
    }
  }
  void Put(std::string_view s) {
    for (char c : s) {
      if (truncated) return;
      Put(c);
    }
  }
  void Pad(char c, size_t count) {
    for (size_t i = 0; i < count && !truncated; ++i) Put(c);
  }
};

struct Spec {
  bool left = false, zero = false, plus = false, space = false, alternate = false;
  size_t width = 0;
  bool has_precision = false;
  size_t precision = 0;
  bool length64 = false;
  char conversion = 0;
};

// Emits `body` in a field of `spec.width`, padded with spaces on the left or right.
void PutField(Sink* sink, const Spec& spec, std::string_view body) {
  const size_t pad = spec.width > body.size() ? spec.width - body.size() : 0;
  if (!spec.left) sink->Pad(' ', pad);
  sink->Put(body);
  if (spec.left) sink->Pad(' ', pad);
}

void PutInteger(Sink* sink, const Spec& spec, const FormatArg& arg, char conversion) {
  const bool is64 = arg.wide || spec.length64;
  const bool is_signed = conversion == 'd' || conversion == 'i';
  bool negative = false;
  uint64_t magnitude = 0;
  if (is_signed) {
    const int64_t value = is64 ? static_cast<int64_t>(arg.bits)
                               : static_cast<int64_t>(static_cast<int32_t>(
                                     static_cast<uint32_t>(arg.bits)));
    negative = value < 0;
    // Unsigned negation: INT64_MIN has no positive counterpart in int64_t.
    magnitude = negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  } else {
    magnitude = is64 ? arg.bits : static_cast<uint32_t>(arg.bits);
  }

  const unsigned base = (conversion == 'x' || conversion == 'X') ? 16 : 10;
  const char* digit_set = conversion == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  char digits[32];
  size_t count = 0;
  for (uint64_t v = magnitude; v != 0; v /= base) digits[count++] = digit_set[v % base];
  // Precision is the minimum number of digits; an explicit zero precision prints 0 as nothing.
  const size_t min_digits = spec.has_precision ? spec.precision : 1;

  char prefix[3] = {};
  size_t prefix_length = 0;
  if (negative) {
    prefix[prefix_length++] = '-';
  } else if (is_signed && spec.plus) {
    prefix[prefix_length++] = '+';
  } else if (is_signed && spec.space) {
    prefix[prefix_length++] = ' ';
  }
  if (spec.alternate && base == 16 && magnitude != 0) {
    prefix[prefix_length++] = '0';
    prefix[prefix_length++] = conversion;
  }

  const size_t digit_count = count > min_digits ? count : min_digits;
  const size_t body = prefix_length + digit_count;
  const size_t pad = spec.width > body ? spec.width - body : 0;
  const bool zero_pad = spec.zero && !spec.left && !spec.has_precision;

  if (!spec.left && !zero_pad) sink->Pad(' ', pad);
  sink->Put(std::string_view(prefix, prefix_length));
  if (zero_pad) sink->Pad('0', pad);
  sink->Pad('0', digit_count - count);
  while (count > 0 && !sink->truncated) sink->Put(digits[--count]);
  if (spec.left) sink->Pad(' ', pad);
}

void PutString(Sink* sink, const Spec& spec, const FormatArg& arg) {
  std::string_view view;
  if (arg.text == nullptr) {
    view = "(null)";
  } else if (arg.length != FormatArg::kNulTerminated) {
    view = std::string_view(arg.text, arg.length);
  } else if (spec.has_precision) {
    // Read at most one byte beyond the precision, to tell whether a double-byte character is cut.
    view = std::string_view(arg.text, strnlen(arg.text, spec.precision + 1));
  } else {
    view = arg.text;
  }
  view = view.substr(0, std::min(view.size(), view.find('\0')));
  if (spec.has_precision) view = view.substr(0, SjisPrefixLength(view, spec.precision));
  PutField(sink, spec, view);
}

size_t ReadNumber(std::string_view format, size_t* p) {
  size_t value = 0;
  while (*p < format.size() && format[*p] >= '0' && format[*p] <= '9') {
    value = value * 10 + static_cast<size_t>(format[*p] - '0');
    if (value > kMaxFieldWidth) value = kMaxFieldWidth;
    ++*p;
  }
  return value;
}

// Parses the directive starting at format[*p] == '%'. Returns false when the format ends inside it.
bool ParseSpec(std::string_view format, size_t* p, Spec* spec) {
  ++*p;
  for (; *p < format.size(); ++*p) {
    const char c = format[*p];
    if (c == '-') spec->left = true;
    else if (c == '0') spec->zero = true;
    else if (c == '+') spec->plus = true;
    else if (c == ' ') spec->space = true;
    else if (c == '#') spec->alternate = true;
    else break;
  }
  spec->width = ReadNumber(format, p);
  if (*p < format.size() && format[*p] == '.') {
    ++*p;
    spec->has_precision = true;
    spec->precision = ReadNumber(format, p);
  }
  const std::string_view rest = format.substr(*p < format.size() ? *p : format.size());
  if (rest.starts_with("I64") || rest.starts_with("ll")) {
    spec->length64 = true;
    *p += rest[0] == 'I' ? 3 : 2;
  } else if (rest.starts_with("I32")) {
    *p += 3;
  } else if (rest.starts_with("l")) {
    *p += 1;  // long is 32 bits wide in the texts' convention
  }
  if (*p >= format.size()) return false;
  spec->conversion = format[*p];
  ++*p;
  return true;
}

}  // namespace

size_t SjisPrefixLength(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t i = 0;
  while (i < limit) {
    const size_t n = SjisCharLength(text.data(), i, text.size());
    if (i + n > limit) break;
    i += n;
  }
  return i;
}

size_t FormatText(char* out, size_t out_size, std::string_view format,
                  std::span<const FormatArg> args) {
  if (out == nullptr || out_size == 0) return 0;
  const size_t nul = format.find('\0');
  if (nul != std::string_view::npos) format = format.substr(0, nul);

  Sink sink{out, out_size - 1};
  size_t next_arg = 0;
  size_t p = 0;
  while (p < format.size() && !sink.truncated) {
    if (format[p] != '%') {
      sink.Put(format[p++]);
      continue;
    }
    const size_t start = p;
    Spec spec;
    if (!ParseSpec(format, &p, &spec)) {
      sink.Put(format.substr(start));  // a lone or unfinished directive at the end
      break;
    }
    const std::string_view directive = format.substr(start, p - start);
    const char c = spec.conversion;
    if (c == '%') {
      sink.Put('%');
      continue;
    }
    if (c == 'n') continue;
    const bool known = c == 'd' || c == 'i' || c == 'u' || c == 'x' || c == 'X' || c == 'c' ||
                       c == 's';
    if (!known || next_arg >= args.size()) {
      sink.Put(directive);
      continue;
    }
    const FormatArg& arg = args[next_arg++];
    const bool is_string = arg.kind == FormatArg::Kind::kString;
    if (c == 's') {
      if (is_string) {
        PutString(&sink, spec, arg);
      } else {
        PutInteger(&sink, spec, arg, arg.kind == FormatArg::Kind::kUnsigned ? 'u' : 'd');
      }
    } else if (is_string) {
      sink.Put(directive);  // a string cannot be shown as a number or a character
    } else if (c == 'c') {
      const char ch = static_cast<char>(arg.bits & 0xFF);
      PutField(&sink, spec, ch == '\0' ? std::string_view() : std::string_view(&ch, 1));
    } else {
      PutInteger(&sink, spec, arg, c == 'i' ? 'd' : c);
    }
  }

  size_t length = sink.length;
  if (sink.truncated) {
    // Do not end on a lead byte whose trail byte was cut off.
    size_t i = 0;
    while (i < length) {
      if (IsCp932LeadByte(static_cast<uint8_t>(out[i])) && i + 1 == length) break;
      i += SjisCharLength(out, i, length);
    }
    length = i;
  }
  out[length] = '\0';
  return length;
}

std::string FormatText(std::string_view format, std::span<const FormatArg> args, size_t limit) {
  std::string out(limit + 1, '\0');
  out.resize(FormatText(out.data(), out.size(), format, args));
  return out;
}

}  // namespace korvel
