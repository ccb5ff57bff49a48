// The headless control settings: KORVEL_CLOCK_START, KORVEL_FRAMES, KORVEL_DUMP, KORVEL_MONITORS,
// and the parsers of the input file (KORVEL_INPUT) and the answer file (KORVEL_ANSWERS).
#include <errno.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/headless/headless_state.h"

namespace korvel::platform::headless {
namespace {

std::string_view StripCr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool IsSpace(char c) { return c == ' ' || c == '\t'; }

// Splits on blanks; "double quotes" group (backslash escapes inside); '#' at the start of a token
// begins a comment.
bool Tokenize(std::string_view line, std::vector<std::string>* tokens, std::string* error) {
  size_t i = 0;
  while (i < line.size()) {
    if (IsSpace(line[i])) {
      ++i;
      continue;
    }
    if (line[i] == '#') break;
    std::string token;
    if (line[i] == '"') {
      ++i;
      bool closed = false;
      while (i < line.size()) {
        const char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\' && i < line.size()) {
          token += line[i++];
        } else {
          token += c;
        }
      }
      if (!closed) {
        *error = "unterminated quote";
        return false;
      }
    } else {
      while (i < line.size() && !IsSpace(line[i])) token += line[i++];
    }
    tokens->push_back(std::move(token));
  }
  return true;
}

bool Fail(std::string* error, const char* text) {
  *error = text;
  return false;
}

bool Number(const std::string& text, int64_t min, int64_t max, int32_t* out) {
  int64_t value = 0;
  if (!ParseInteger(text, min, max, &value)) return false;
  *out = static_cast<int32_t>(value);
  return true;
}

bool ParseMouse(const std::vector<std::string>& t, InputLine* out, std::string* error) {
  if (t.size() == 5 && t[2] == "move") {
    out->action = InputAction::kMouseMove;
    if (Number(t[3], INT32_MIN, INT32_MAX, &out->a) &&
        Number(t[4], INT32_MIN, INT32_MAX, &out->b)) {
      return true;
    }
    return Fail(error, "mouse move needs two integer coordinates");
  }
  if (t.size() == 4 && (t[2] == "down" || t[2] == "up")) {
    out->action = t[2] == "down" ? InputAction::kMouseDown : InputAction::kMouseUp;
    out->a = t[3] == "left" ? 1 : t[3] == "right" ? 2 : t[3] == "middle" ? 4 : 0;
    if (out->a != 0) return true;
  }
  return Fail(error, "expected: mouse move <x> <y> | mouse down|up left|right|middle");
}

bool ParseJoystick(const std::vector<std::string>& t, InputLine* out, std::string* error) {
  if (t.size() == 4 && Number(t[2], 0, 15, &out->a) && (t[3] == "added" || t[3] == "removed")) {
    out->action = t[3] == "added" ? InputAction::kJoyAdded : InputAction::kJoyRemoved;
    return true;
  }
  if (t.size() == 6 && Number(t[2], 0, 15, &out->a)) {
    if (t[3] == "axis" && Number(t[4], 0, 5, &out->b) && Number(t[5], -32768, 32767, &out->c)) {
      out->action = InputAction::kJoyAxis;
      return true;
    }
    if (t[3] == "button" && Number(t[4], 0, 31, &out->b) && (t[5] == "down" || t[5] == "up")) {
      out->action = InputAction::kJoyButton;
      out->c = t[5] == "down" ? 1 : 0;
      return true;
    }
  }
  return Fail(error,
              "expected: joy <0..15> axis <0..5> <-32768..32767> | joy <0..15> button <0..31> "
              "down|up | joy <0..15> added|removed");
}

}  // namespace

bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t* value) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  unsigned base = 10;
  if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i == text.size()) return false;
  uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    unsigned digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<unsigned>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<unsigned>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<unsigned>(c - 'A' + 10);
    } else {
      return false;
    }
    if (magnitude > (UINT64_MAX - digit) / base) return false;
    magnitude = magnitude * base + digit;
  }
  if (magnitude > static_cast<uint64_t>(INT64_MAX) + (negative ? 1u : 0u)) return false;
  const int64_t result =
      negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
  if (result < min || result > max) return false;
  *value = result;
  return true;
}

bool ParseInputLine(std::string_view line, InputLine* out, bool* empty, std::string* error) {
  std::vector<std::string> t;
  *out = InputLine{};
  if (!Tokenize(StripCr(line), &t, error)) return false;
  *empty = t.empty();
  if (t.empty()) return true;
  int64_t frame = 0;
  if (!ParseInteger(t[0], 0, INT64_MAX, &frame)) {
    return Fail(error, "the line must start with a frame number");
  }
  out->frame = static_cast<uint64_t>(frame);
  if (t.size() < 2) return Fail(error, "an event must follow the frame number");
  const std::string& event = t[1];
  if (event == "key") {
    if (t.size() == 4 && (t[2] == "down" || t[2] == "up") && Number(t[3], 1, 255, &out->a)) {
      out->action = t[2] == "down" ? InputAction::kKeyDown : InputAction::kKeyUp;
      return true;
    }
    return Fail(error, "expected: key down|up <virtual-key code 1..255>");
  }
  if (event == "mouse") return ParseMouse(t, out, error);
  if (event == "wheel") {
    out->action = InputAction::kWheel;
    if (t.size() == 3 && Number(t[2], -32768, 32767, &out->a)) return true;
    return Fail(error, "expected: wheel <delta -32768..32767>");
  }
  if (event == "focus") {
    if (t.size() == 3 && (t[2] == "lost" || t[2] == "gained")) {
      out->action = t[2] == "lost" ? InputAction::kFocusLost : InputAction::kFocusGained;
      return true;
    }
    return Fail(error, "expected: focus lost|gained");
  }
  if (event == "menu") {
    out->action = InputAction::kMenuBar;
    if (t.size() == 3 && Number(t[2], 0, 65535, &out->a)) return true;
    return Fail(error, "expected: menu <command 0..65535>");
  }
  if (event == "close") {
    out->action = InputAction::kClose;
    if (t.size() == 2) return true;
    return Fail(error, "close takes no arguments");
  }
  if (event == "drop") {
    out->action = InputAction::kDrop;
    if (t.size() < 3) return Fail(error, "drop needs at least one path");
    out->paths.assign(t.begin() + 2, t.end());
    return true;
  }
  if (event == "joy") return ParseJoystick(t, out, error);
  if (event == "minimize" || event == "maximize" || event == "restore") {
    out->action = event == "minimize"   ? InputAction::kMinimize
                  : event == "maximize" ? InputAction::kMaximize
                                        : InputAction::kRestore;
    if (t.size() == 2) return true;
    return Fail(error, "minimize, maximize and restore take no arguments");
  }
  *error = "unknown event '" + event + "'";
  return false;
}

bool ParseAnswerLine(std::string_view line, Answer* out, bool* empty, std::string* error) {
  line = StripCr(line);
  *out = Answer{};
  *empty = false;
  out->raw = std::string(line);
  if (line.substr(0, 5) == "text:") {
    out->kind = AnswerKind::kText;
    out->text = std::string(line.substr(5));
    return true;
  }
  int64_t value = 0;
  if (line.substr(0, 5) == "menu:") {
    out->kind = AnswerKind::kMenu;
    std::string_view number = line.substr(5);
    while (!number.empty() && IsSpace(number.front())) number.remove_prefix(1);
    while (!number.empty() && IsSpace(number.back())) number.remove_suffix(1);
    if (!ParseInteger(number, INT32_MIN, INT32_MAX, &value)) {
      return Fail(error, "menu: must be followed by a command number");
    }
    out->code = static_cast<int32_t>(value);
    return true;
  }
  while (!line.empty() && IsSpace(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsSpace(line.back())) line.remove_suffix(1);
  if (line.empty() || line.front() == '#') {
    *empty = true;
    return true;
  }
  if (!ParseInteger(line, INT32_MIN, INT32_MAX, &value)) {
    return Fail(error, "expected a result code, text:<answer> or menu:<command>");
  }
  out->kind = AnswerKind::kCode;
  out->code = static_cast<int32_t>(value);
  return true;
}

namespace {

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? value : nullptr;
}

// Reads a control file line by line through `parse`; false after a line on stderr.
template <typename Record, typename Parse, typename Store>
bool LoadLines(const char* variable, const char* path, Parse parse, Store store) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "korvel: %s %s: cannot be read (%s)\n", variable, path,
                 std::strerror(errno));
    return false;
  }
  std::string line;
  for (size_t number = 1; std::getline(file, line); ++number) {
    Record record;
    bool empty = false;
    std::string error;
    if (!parse(line, &record, &empty, &error)) {
      std::fprintf(stderr, "korvel: %s %s:%zu: %s\n", variable, path, number, error.c_str());
      return false;
    }
    if (!empty) store(std::move(record));
  }
  return true;
}

}  // namespace

bool LoadControl() {
  int64_t value = 0;
  uint32_t start = 0;
  if (const char* text = Env("KORVEL_CLOCK_START")) {
    if (!ParseInteger(text, 0, UINT32_MAX, &value)) {
      std::fprintf(stderr,
                   "korvel: KORVEL_CLOCK_START=%s is not a millisecond count (decimal or 0x hex, "
                   "at most 0xFFFFFFFF)\n",
                   text);
      return false;
    }
    start = static_cast<uint32_t>(value);
  }
  InitClock(start);

  std::lock_guard lock(g_state.mutex);
  if (const char* text = Env("KORVEL_FRAMES")) {
    if (!ParseInteger(text, 0, INT64_MAX, &value)) {
      std::fprintf(stderr, "korvel: KORVEL_FRAMES=%s is not a frame count\n", text);
      return false;
    }
    g_state.frame_limit = static_cast<uint64_t>(value);
  }
  if (const char* dir = Env("KORVEL_DUMP")) {
    if (mkdir(dir, 0777) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "korvel: KORVEL_DUMP %s: cannot create the folder (%s)\n", dir,
                   std::strerror(errno));
      return false;
    }
    g_state.dump_dir = dir;
  }
  if (const char* text = Env("KORVEL_MONITORS")) {
    std::string error;
    if (!ParseMonitorTable(text, &g_state.monitors, &error)) {
      std::fprintf(stderr, "korvel: KORVEL_MONITORS=%s: %s\n", text, error.c_str());
      return false;
    }
  }
  if (const char* path = Env("KORVEL_INPUT")) {
    auto store = [](InputLine&& line) { g_state.input.push_back(std::move(line)); };
    if (!LoadLines<InputLine>("KORVEL_INPUT", path, ParseInputLine, store)) return false;
    std::stable_sort(g_state.input.begin(), g_state.input.end(),
                     [](const InputLine& a, const InputLine& b) { return a.frame < b.frame; });
  }
  if (const char* path = Env("KORVEL_ANSWERS")) {
    auto store = [](Answer&& answer) { g_state.answers.push_back(std::move(answer)); };
    if (!LoadLines<Answer>("KORVEL_ANSWERS", path, ParseAnswerLine, store)) return false;
  }
  return true;
}

}  // namespace korvel::platform::headless
