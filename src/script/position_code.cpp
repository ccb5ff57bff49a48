// Position codes: numbers written as letters 'a'..'p', one per 4 bits, most significant first.
#include "script/position_code.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "core/error_report.h"
#include "core/shift_jis.h"
#include "script/command_table.h"
#include "script/format_constants.h"
#include "script/script_data.h"
#include "script/script_tasks.h"

namespace korvel {

namespace {

constexpr char kPrefix[8] = {1, 2, 3, 4, 5, 6, 7, 8};
constexpr uint8_t kMaxSavedDepth = kTaskStackDepth - 1;

std::string_view PathOf(uint32_t number) {
  if (number >= g_script.script_paths.size()) return {};
  return g_script.script_paths[number];
}

class LetterWriter {
 public:
  explicit LetterWriter(char* out) : out_(out) {}
  void Byte(uint8_t v) { Digits(v, 2); }
  void Word(uint32_t v) { Digits(v, 8); }
  void Raw(const char* bytes, size_t n) {
    if (n != 0) std::memcpy(out_ + at_, bytes, n);
    at_ += n;
  }
  size_t length() const { return at_; }

 private:
  void Digits(uint32_t v, int count) {
    for (int i = count - 1; i >= 0; --i) out_[at_++] = static_cast<char>('a' + ((v >> (4 * i)) & 15));
  }
  char* out_;
  size_t at_ = 0;
};

// Reads letters with every check: false at the end of the text or at a letter outside 'a'..'p'.
class LetterReader {
 public:
  LetterReader(const char* text, size_t length) : text_(text), length_(length) {}
  bool Byte(uint8_t* v) {
    uint32_t w = 0;
    if (!Digits(2, &w)) return false;
    *v = static_cast<uint8_t>(w);
    return true;
  }
  bool Depth(uint8_t* v) { return Byte(v) && *v <= kMaxSavedDepth; }
  bool Word(uint32_t* v) { return Digits(8, v); }
  size_t at() const { return at_; }
  size_t left() const { return length_ - at_; }

 private:
  bool Digits(size_t count, uint32_t* v) {
    if (left() < count) return false;
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
      const auto c = static_cast<uint8_t>(text_[at_ + i]);
      if (c < 'a' || c > 'p') return false;
      value = (value << 4) | static_cast<uint32_t>(c - 'a');
    }
    at_ += count;
    *v = value;
    return true;
  }
  const char* text_;
  size_t length_;
  size_t at_ = 0;
};

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Equal paths without regard to the case of single-byte letters.
bool SamePathIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    if (IsCp932LeadByte(static_cast<uint8_t>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      i += 2;
      continue;
    }
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    ++i;
  }
  return true;
}

int32_t Malformed() {
  ReportErrorPlain(900000, true);
  return 0;
}

}  // namespace

int32_t EncodeTaskPositionCode(char* buffer, size_t capacity, const ScriptTask* task) {
  if (buffer == nullptr || task == nullptr) return -1;
  const int32_t b = task->block_depth, c = task->call_depth, l = task->loop_depth;
  if (b < 0 || b > kTaskStackDepth || c < 0 || c > kTaskStackDepth || l < 0 ||
      l > kTaskStackDepth) {
    return -1;
  }
  if (c > 0 && task->call_frames == nullptr) return -1;
  for (int32_t i = 0; i < c; ++i) {
    if (task->call_frames[i] == nullptr) return -1;
  }
  const std::string_view path = PathOf(task->script_number);
  const uint64_t need = kPositionCodeFixedLength + uint64_t{kPositionBlockLength} * b +
                        uint64_t{kPositionCallLength} * c + uint64_t{kPositionLoopLength} * l +
                        path.size();
  if (need > capacity || need > INT32_MAX || path.size() > UINT32_MAX) return -1;

  LetterWriter w(buffer);
  w.Raw(kPrefix, sizeof kPrefix);
  w.Byte(static_cast<uint8_t>(b));
  for (int32_t i = 0; i < b; ++i) {
    w.Byte(task->block_loop_depth[i]);
    w.Word(task->block_open_index[i]);
    w.Word(task->block_end_target[i]);
  }
  w.Byte(task->reserved1);
  w.Byte(static_cast<uint8_t>(c));
  for (int32_t i = 0; i < c; ++i) {
    const CallFrame* f = task->call_frames[i];
    w.Byte(f->block_depth);
    w.Byte(f->loop_depth);
    w.Word(f->return_index);
    w.Word(f->caller_script);
  }
  w.Byte(static_cast<uint8_t>(l));
  for (int32_t i = 0; i < l; ++i) {
    w.Byte(task->loop_block_depth[i]);
    w.Word(task->loop_start_index[i]);
    w.Word(task->loop_end_index[i]);
    w.Word(static_cast<uint32_t>(static_cast<uint64_t>(task->loop_counter[i])));
    w.Word(static_cast<uint32_t>(static_cast<uint64_t>(task->loop_count[i])));
  }
  w.Byte(task->reserved2);
  w.Word(task->message_position[0]);
  w.Word(task->command_index);
  w.Word(static_cast<uint32_t>(path.size()));
  w.Raw(path.data(), path.size());
  return static_cast<int32_t>(w.length());
}

int32_t ParseTaskPositionCode(const char* text, size_t length, TaskPosition* out) {
  if (text == nullptr || out == nullptr) return -1;
  if (length < sizeof kPrefix || std::memcmp(text, kPrefix, sizeof kPrefix) != 0) return Malformed();
  LetterReader r(text + sizeof kPrefix, length - sizeof kPrefix);
  TaskPosition p{};
  if (!r.Depth(&p.block_depth)) return Malformed();
  for (uint32_t i = 0; i < p.block_depth; ++i) {
    if (!r.Depth(&p.block_loop_depth[i]) || !r.Word(&p.block_open_index[i]) ||
        !r.Word(&p.block_end_target[i])) {
      return Malformed();
    }
  }
  if (!r.Byte(&p.reserved1) || !r.Depth(&p.call_depth)) return Malformed();
  for (uint32_t i = 0; i < p.call_depth; ++i) {
    TaskPosition::Call& call = p.calls[i];
    uint32_t script = 0;
    if (!r.Depth(&call.block_depth) || !r.Depth(&call.loop_depth) || !r.Word(&call.return_index) ||
        !r.Word(&script)) {
      return Malformed();
    }
    // The script number is the last four letters of its eight.
    call.script_number = static_cast<uint16_t>(script);
    if (call.script_number >= g_script.script_count) return Malformed();
  }
  if (!r.Depth(&p.loop_depth)) return Malformed();
  for (uint32_t i = 0; i < p.loop_depth; ++i) {
    uint32_t counter = 0, count = 0;
    if (!r.Depth(&p.loop_block_depth[i]) || !r.Word(&p.loop_start_index[i]) ||
        !r.Word(&p.loop_end_index[i]) || !r.Word(&counter) || !r.Word(&count)) {
      return Malformed();
    }
    // Sign-extended, so an endless count (-1) comes back as -1.
    p.loop_counter[i] = static_cast<int32_t>(counter);
    p.loop_count[i] = static_cast<int32_t>(count);
  }
  uint32_t path_length = 0;
  if (!r.Byte(&p.reserved2) || !r.Word(&p.message_position) || !r.Word(&p.command_index) ||
      !r.Word(&path_length)) {
    return Malformed();
  }
  // The path ends the code exactly.
  if (uint64_t{path_length} != r.left()) return Malformed();
  const std::string_view path(text + sizeof kPrefix + r.at(),
                              std::min<size_t>(path_length, kPositionPathLimit));
  bool found = false;
  for (uint32_t n = 0; n < g_script.script_count; ++n) {
    if (SamePathIgnoringCase(PathOf(n), path)) {
      p.script_number = static_cast<uint16_t>(n);
      found = true;
      break;
    }
  }
  if (!found) {
    ReportError(102130, true, CommandName(kCommandTaskStart), path);
    return 0;
  }
  *out = p;
  return static_cast<int32_t>(length);
}

int32_t ApplyTaskPosition(ScriptTask* task, const TaskPosition& p) {
  if (task == nullptr) return -1;
  // Every frame first, so that a failed allocation leaves the task as it was.
  for (int32_t i = 0; i < p.call_depth; ++i) {
    if (EnsureCallFrame(task, i) == nullptr) return -1;
  }
  task->block_depth = static_cast<int8_t>(p.block_depth);
  for (int32_t i = 0; i < p.block_depth; ++i) {
    task->block_loop_depth[i] = p.block_loop_depth[i];
    task->block_open_index[i] = p.block_open_index[i];
    task->block_end_target[i] = p.block_end_target[i];
  }
  task->reserved1 = p.reserved1;
  task->call_depth = static_cast<int8_t>(p.call_depth);
  for (int32_t i = 0; i < p.call_depth; ++i) {
    CallFrame* f = task->call_frames[i];
    f->block_depth = p.calls[i].block_depth;
    f->loop_depth = p.calls[i].loop_depth;
    f->return_index = p.calls[i].return_index;
    f->caller_script = p.calls[i].script_number;
  }
  task->loop_depth = static_cast<int8_t>(p.loop_depth);
  for (int32_t i = 0; i < p.loop_depth; ++i) {
    task->loop_block_depth[i] = p.loop_block_depth[i];
    task->loop_start_index[i] = p.loop_start_index[i];
    task->loop_end_index[i] = p.loop_end_index[i];
    task->loop_counter[i] = p.loop_counter[i];
    task->loop_count[i] = p.loop_count[i];
  }
  task->reserved2 = p.reserved2;
  task->message_position[0] = p.message_position;
  task->command_index = p.command_index;
  task->script_number = p.script_number;
  return 0;
}

int32_t DecodeTaskPositionCode(const char* text, size_t length, ScriptTask* task) {
  if (text == nullptr || task == nullptr) return -1;
  TaskPosition position{};
  const int32_t read = ParseTaskPositionCode(text, length, &position);
  if (read <= 0) return read;
  return ApplyTaskPosition(task, position) == 0 ? read : 0;
}

}  // namespace korvel
