// The comma-separated scanner of the text-file command.
#include "commands/text_pieces.h"

#include "core/shift_jis.h"
#include "platform/text_encoding.h"

namespace korvel {

size_t ScanTextPieces(const uint8_t* text, size_t size, TextPieceSink sink, void* context) {
  size_t count = 0;
  const auto emit = [&](size_t begin, size_t end) {
    ++count;
    if (sink != nullptr) sink(context, text + begin, end - begin);
  };
  size_t pos = 0, start = 0;
  bool in_double = false, in_single = false, started = false, comma_seen = false;
  bool blank_line = true;
  while (pos < size) {
    const uint8_t b = text[pos];
    if (b == ',' && !in_double && !in_single) {
      emit(start, pos);
      start = ++pos;
      comma_seen = true;
      started = false;
      blank_line = false;
    } else if (b == '\r' || b == '\n') {
      if (comma_seen) emit(start, pos);
      if (blank_line) emit(pos, pos);
      pos += (b == '\r' && pos + 1 < size && text[pos + 1] == '\n') ? 2 : 1;
      start = pos;
      in_double = started = comma_seen = false;
      blank_line = true;
    } else if (b == '"') {
      in_double = !in_double;
      ++pos;
    } else if (b == '\'') {
      in_single = !in_single;
      ++pos;
    } else if ((b == ' ' || b == '\t') && !started) {
      start = ++pos;
    } else {
      // A lead byte takes the next byte with it, but never one past the end.
      pos += (IsCp932LeadByte(b) && pos + 1 < size) ? 2 : 1;
      started = true;
      blank_line = false;
    }
  }
  return count;
}

size_t PieceLengthWithin(const uint8_t* piece, size_t length, size_t limit) {
  return platform::Cp932PrefixWithin({reinterpret_cast<const char*>(piece), length}, limit);
}

}  // namespace korvel
