// Writes to the system variables that scripts may set.
#include "script/system_variable_writes.h"

#include <cstring>
#include <string_view>

#include "core/error_report.h"
#include "core/input_state.h"
#include "core/named_tree.h"
#include "core/text_format.h"
#include "core/window_record.h"
#include "platform/platform.h"
#include "script/format_constants.h"
#include "script/script_data.h"
#include "script/system_variables.h"
#include "script/task_runner.h"
#include "text/message_script_values.h"

namespace korvel {

namespace {

constexpr size_t kMaxEngineText = kStringBufferSize - 1;

bool InKeyTable(int64_t code) { return code >= 0 && code < kKeyCodeCount; }

void SetCounterAt(int64_t code, int64_t value) {
  if (InKeyTable(code)) SetKeyCounter(static_cast<int32_t>(code), value);
}
void SetPressesAt(int64_t code, int64_t value) {
  if (InKeyTable(code)) SetKeyPresses(static_cast<int32_t>(code), value);
}

// Drops dropped-file names past `count`; the list never grows.
void TruncateDroppedFiles(int64_t count) {
  std::lock_guard<std::mutex> lock(g_window_messages.dropped_lock);
  auto& files = g_window_messages.dropped_files;
  if (count < 0) count = 0;
  if (static_cast<uint64_t>(count) < files.size()) files.resize(static_cast<size_t>(count));
}

int32_t SetBasePath(NamedTree* tree, std::string_view text) {
  char normalized[kObjectPathCapacity];
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (NormalizeObjectPath(normalized, sizeof normalized, text, "", true) < 0) return -1;
  const size_t length = std::strlen(normalized);
  if (length >= kBasePathCapacity) {
    ReportScriptErrorPlain(900020, true);
    return -1;
  }
  std::memset(tree->base_path, 0, sizeof tree->base_path);
  std::memcpy(tree->base_path, normalized, length);
  return 0;
}

int32_t NotWritable() {
  ReportScriptErrorPlain(101150, true);
  return -1;
}

}  // namespace

void SetKeyCounter(int32_t code, int64_t value) {
  if (!InKeyTable(code)) return;
  if (g_keys.state[code] == kKeyStateDown) {
    g_keys.counter[code] = value > 0 ? value : 0;
  } else {
    g_keys.counter[code] = value < 0 ? value : 0;
  }
}

void SetKeyPresses(int32_t code, int64_t value) {
  if (InKeyTable(code)) g_keys.presses[code] = value > 0 ? static_cast<uint64_t>(value) : 0;
}

SystemWriteKind SystemVariableWriteKind(uint32_t id, int64_t element) {
  switch (id) {
    case 15:
    case 95:
    case 96:
    case 97:
    case 98:
    case 110:
    case 123:
    case 124: return SystemWriteKind::kInteger;
    case 122: return element > 0 ? SystemWriteKind::kInteger : SystemWriteKind::kNone;
    case 100:
    case 101:
    case 106:
    case 109: return SystemWriteKind::kText;
    default: break;
  }
  return id >= 125 && id <= 392 ? SystemWriteKind::kInteger : SystemWriteKind::kNone;
}

int32_t WriteSystemValueById(uint32_t id, int64_t element, int64_t value) {
  if (SystemVariableWriteKind(id, element) != SystemWriteKind::kInteger) return NotWritable();
  const auto low_byte = static_cast<uint8_t>(value);
  switch (id) {
    case 15: TruncateDroppedFiles(value); return 0;
    case 95: g_window_messages.close_requested.store(low_byte); return 0;
    case 96:
    case 97:
    case 98: g_message_values.switches[id - 96] = low_byte; return 0;
    case 110: g_runner.executed = static_cast<uint64_t>(value); return 0;
    case 122: SetCounterAt(element, value); return 0;
    case 123: g_window_messages.last_key.store(static_cast<uint32_t>(value)); return 0;
    case 124: g_window_messages.last_mouse_button.store(static_cast<uint32_t>(value)); return 0;
    default: break;
  }
  if (id <= 253) {
    SetCounterAt(g_script.key_map[id - 125], value);
  } else if (id <= 257) {
    SetCounterAt(JoystickDirectionCode(element, static_cast<int32_t>(id - 254)), value);
  } else if (id == 258) {
    SetCounterAt(JoystickButtonCode(element), value);
  } else if (id <= 387) {
    SetPressesAt(g_script.key_map[id - 259], value);
  } else if (id <= 391) {
    SetPressesAt(JoystickDirectionCode(element, static_cast<int32_t>(id - 388)), value);
  } else {
    SetPressesAt(JoystickButtonCode(element), value);
  }
  return 0;
}

int32_t WriteSystemTextById(uint32_t id, const char* text, size_t length) {
  const std::string_view view(text != nullptr ? text : "", text != nullptr ? length : 0);
  switch (id) {
    case 100:
    case 101: {
      const std::string_view upto_nul = view.substr(0, view.find('\0'));
      const size_t kept = SjisPrefixLength(upto_nul, kMaxEngineText);
      char* dst = g_message_values.texts[id - 100];
      std::memcpy(dst, upto_nul.data(), kept);
      dst[kept] = '\0';
      return 0;
    }
    case 106: return SetBasePath(&g_layer_tree, view);
    case 109: return SetBasePath(&g_menu_tree, view);
    default: return NotWritable();
  }
}

}  // namespace korvel
