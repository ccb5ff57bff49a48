// The readers of the system variables: every element is computed from engine state when it is read.
#include "script/system_variables.h"

#include <cstring>
#include <iterator>
#include <string_view>

#include "core/display_state.h"
#include "core/engine_settings.h"
#include "core/engine_state.h"
#include "core/engine_timers.h"
#include "core/error_report.h"
#include "core/frame_pacer.h"
#include "core/frame_step.h"
#include "core/input_state.h"
#include "core/named_tree.h"
#include "core/program_paths.h"
#include "core/project_config.h"
#include "core/system_probes.h"
#include "core/text_format.h"
#include "core/user_folders.h"
#include "core/window_record.h"
#include "platform/system_info.h"
#include "platform/text_encoding.h"
#include "script/format_constants.h"
#include "script/script_arith.h"
#include "script/script_data.h"
#include "script/script_tasks.h"
#include "script/task_runner.h"
#include "script/variables.h"
#include "text/message_script_values.h"

namespace korvel {

ScriptEngineValues g_script_values{};

namespace {

LocalTimeSource g_local_time_source = platform::GetLocalTime;

constexpr size_t kMaxSystemText = kStringBufferSize - 1;

// Element k of the ten-value families (call arguments, results, task arguments) is value k, 1..10.
bool ArgumentIndex(int64_t element, int32_t* k) {
  if (element < 1 || element > kTaskArgumentCount) return false;
  *k = static_cast<int32_t>(element - 1);
  return true;
}

const CallValue* CallArgument(int64_t element) {
  int32_t k = 0;
  const CallFrame* frame = CallArgumentFrame(CurrentTask());
  return frame != nullptr && ArgumentIndex(element, &k) ? &frame->args[k] : nullptr;
}

const CallValue* CallResult(int64_t element) {
  int32_t k = 0;
  const CallFrame* frame = CallResultFrame(CurrentTask());
  return frame != nullptr && ArgumentIndex(element, &k) ? &frame->results[k] : nullptr;
}

int64_t TimeField(const platform::LocalTime& t, int64_t field) {
  switch (field) {
    case 0: return t.year;
    case 1: return t.month;
    case 2: return t.day;
    case 3: return t.day_of_week;
    case 4: return t.hour;
    case 5: return t.minute;
    case 6: return t.second;
    case 7: return t.milliseconds;
    default: return 0;
  }
}

int64_t TimerElapsed(int32_t k) { return EngineTimerElapsed(k); }

// Physical memory: 5 the load in percent, 6 the total and 7 the free bytes.
int64_t MemoryFigure(uint32_t id) {
  platform::MemoryStatus memory;
  if (!platform::GetMemoryStatus(&memory)) return 0;
  const uint64_t total = memory.total_bytes;
  const uint64_t free = memory.free_bytes;
  switch (id) {
    case 5: return total != 0 ? static_cast<int64_t>((total - free) * 100 / total) : 0;
    case 6: return static_cast<int64_t>(total);
    default: return static_cast<int64_t>(free);
  }
}

bool KeyCodeInTable(int64_t code) { return code >= 0 && code < kKeyCodeCount; }

int64_t KeyCounter(int64_t code) { return KeyCodeInTable(code) ? g_keys.counter[code] : 0; }
int64_t KeyPresses(int64_t code) {
  return KeyCodeInTable(code) ? static_cast<int64_t>(g_keys.presses[code]) : 0;
}

int64_t MouseOf(int32_t window, bool y) {
  const WindowRecord* w = g_windows[window];
  if (w == nullptr) return 0;
  return y ? w->mouse_y.load() : w->mouse_x.load();
}

int64_t LoopCounter() {
  const ScriptTask* task = CurrentTask();
  if (task == nullptr || task->loop_depth < 1 || task->loop_depth > kTaskStackDepth) return 0;
  return task->loop_counter[task->loop_depth - 1];
}

// Copies at most the buffer's room of `text`, cut on a character boundary.
size_t CopyText(std::string_view text, char* buffer) {
  const size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  const size_t n = SjisPrefixLength(text, kMaxSystemText);
  if (n != 0) std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return n;
}

size_t CopyUtf8Path(const std::string& utf8, char* buffer) {
  return CopyText(platform::Utf8ToCp932(utf8), buffer);
}

void ReadUserFolders() {
  if (g_script_values.user_folders_read) return;
  const UserFolders folders = ResolveUserFolders();
  g_script_values.app_data_folder = folders.app_data.empty() ? "" : folders.app_data + "/";
  g_script_values.documents_folder = folders.documents.empty() ? "" : folders.documents + "/";
  g_script_values.user_folders_read = true;
}

const NamedTree* TreeOfBaseId(uint32_t id) {
  switch (id) {
    case 106: return &g_layer_tree;
    case 107: return &g_task_tree;
    case 108: return &g_sound_tree;
    default: return &g_menu_tree;
  }
}

size_t DroppedFileText(int64_t element, char* buffer) {
  const size_t count = DroppedFileCount();
  std::string name;
  if (element < 0 || static_cast<uint64_t>(element) >= count ||
      !GetDroppedFile(static_cast<size_t>(element), &name)) {
    ReportScriptError(107010, true, element, static_cast<int64_t>(count));
    buffer[0] = '\0';
    return 0;
  }
  return CopyText(name, buffer);
}

size_t CallText(const CallValue* value, char* buffer) {
  return CopyText(value != nullptr && value->text != nullptr ? value->text : "", buffer);
}

int64_t ReadSystemInt(uint32_t id, int64_t element) { return GetSystemValueById(id, element); }
double ReadSystemReal(uint32_t id, int64_t element) { return GetSystemValueRealById(id, element); }
size_t ReadSystemString(uint32_t id, int64_t element, char* buffer) {
  return ReadSystemStringVariable(id, element, buffer);
}

}  // namespace

int32_t KeyCodeOfStateId(uint32_t id) {
  // Ids 393..520 stand for the virtual-key codes 0..127 in order.
  return id >= 393 && id <= 520 ? static_cast<int32_t>(id - 393) : -1;
}

int64_t GetSystemValueById(uint32_t id, int64_t element) {
  const ScriptTask* task = CurrentTask();
  switch (id) {
    case 0:
      if (element < 0 || element > 15) return 0;
      return TimeField(element < 8 ? g_local_time_source() : g_engine.start_time, element & 7);
    case 1:
      if (element == 0) return platform::NowMs();
      return element >= 1 && element <= kEngineTimerCount
                 ? TimerElapsed(static_cast<int32_t>(element - 1))
                 : 0;
    // Frames run and drawn in the last whole second.
    case 2: return g_pacer.last_loop_frames;
    case 3: return g_pacer.last_drawn_frames;
    case 4: return g_project.sound_on;
    case 5:
    case 6:
    case 7: return MemoryFigure(id);
    case 9: return g_probes.read_only_folder;
    case 11: return g_project.debug;
    case 13: return g_probes.directx_version;
    case 15: return static_cast<int64_t>(DroppedFileCount());
    case 48: return LoopCounter();
    case 49: return 999;
    case 50: {
      const CallValue* v = CallArgument(element);
      return v != nullptr ? v->integer : 0;
    }
    case 53: {
      const CallValue* v = CallArgument(element);
      return v != nullptr ? v->given : 0;
    }
    case 54: {
      const CallValue* v = CallResult(element);
      return v != nullptr ? v->integer : 0;
    }
    case 57: {
      const CallValue* v = CallResult(element);
      return v != nullptr ? v->given : 0;
    }
    case 58: {
      int32_t k = 0;
      return task != nullptr && ArgumentIndex(element, &k) ? task->int_args[k] : 0;
    }
    case 86: return kVariableTableFormat;
    case 87: return static_cast<int64_t>(g_frame.frame_counter);
    case 88: return static_cast<int64_t>(g_frame.tick_counter);
    case 89: return TimerElapsed(0);
    case 90: return g_settings.script_switch;
    case 92: return g_display.desktop_bits;
    case 93: return g_display.desktop_width;
    case 94: return g_display.desktop_height;
    case 95: return g_window_messages.close_requested.load();
    case 96:
    case 97:
    case 98: return g_message_values.switches[id - 96];
    case 99: return g_keep_running_inactive.load();
    case 102: return g_variables.system_value;
    case 104: return g_task_tree.root != nullptr ? g_task_tree.root->child_count : 0;
    case 110: return static_cast<int64_t>(g_runner.executed);
    case 111:
    case 112: return MouseOf(0, false);
    case 113:
    case 114:
    case 115: return MouseOf(static_cast<int32_t>(id - 112), false);
    case 116:
    case 117: return MouseOf(0, true);
    case 118:
    case 119:
    case 120: return MouseOf(static_cast<int32_t>(id - 117), true);
    case 121: return 0;
    case 122: return element >= 1 ? KeyCounter(element) : 0;
    case 123: return g_window_messages.last_key.load();
    case 124: return g_window_messages.last_mouse_button.load();
    default: break;
  }
  if (id >= 125 && id <= 253) return KeyCounter(g_script.key_map[id - 125]);
  if (id >= 254 && id <= 257) {
    return KeyCounter(JoystickDirectionCode(element, static_cast<int32_t>(id - 254)));
  }
  if (id == 258) return KeyCounter(JoystickButtonCode(element));
  if (id >= 259 && id <= 387) return KeyPresses(g_script.key_map[id - 259]);
  if (id >= 388 && id <= 391) {
    return KeyPresses(JoystickDirectionCode(element, static_cast<int32_t>(id - 388)));
  }
  if (id == 392) return KeyPresses(JoystickButtonCode(element));
  if (id >= 393 && id <= 520) return g_keys.down[KeyCodeOfStateId(id)];
  if (id >= 521 && id <= 524) {
    // The key code of a joystick direction: id + 36 × element − 137.
    const int64_t code = JoystickDirectionCode(element, static_cast<int32_t>(id - 521));
    return code >= 0 ? code : 0;
  }
  if (id == 525) {
    const int64_t code = JoystickButtonCode(element);
    return code >= 0 ? code : 0;
  }
  return 0;
}

double GetSystemValueRealById(uint32_t id, int64_t element) {
  switch (id) {
    case 10: return 3.141592653589793;
    case 51: {
      const CallValue* v = CallArgument(element);
      return v != nullptr ? v->real : 0.0;
    }
    case 55: {
      const CallValue* v = CallResult(element);
      return v != nullptr ? v->real : 0.0;
    }
    case 59: {
      int32_t k = 0;
      const ScriptTask* task = CurrentTask();
      return task != nullptr && ArgumentIndex(element, &k) ? task->double_args[k] : 0.0;
    }
    default: return 0.0;
  }
}

size_t ReadSystemStringVariable(uint32_t id, int64_t element, char* buffer) {
  buffer[0] = '\0';
  const ScriptTask* task = CurrentTask();
  switch (id) {
    case 12:
      if (element < 0 || element >= static_cast<int64_t>(std::size(g_command_line.slots))) return 0;
      return CopyUtf8Path(g_command_line.slots[element], buffer);
    case 14: return DroppedFileText(element, buffer);
    case 52: return CallText(CallArgument(element), buffer);
    case 56: return CallText(CallResult(element), buffer);
    case 60: {
      int32_t k = 0;
      if (task == nullptr || !ArgumentIndex(element, &k) || task->text_args[k] == nullptr) return 0;
      return CopyText(task->text_args[k], buffer);
    }
    case 81: return CopyUtf8Path(g_paths.game_folder, buffer);
    case 82: return CopyUtf8Path(g_save_settings.save_folder, buffer);
    case 83: return CopyUtf8Path(g_paths.executable, buffer);
    case 84: ReadUserFolders(); return CopyUtf8Path(g_script_values.app_data_folder, buffer);
    case 85: ReadUserFolders(); return CopyUtf8Path(g_script_values.documents_folder, buffer);
    case 100:
    case 101: return CopyText(g_message_values.texts[id - 100], buffer);
    case 103: {
      const NamedTreeNode* node = g_runner.node;
      if (task == nullptr || node == nullptr || node->name == nullptr) return 0;
      return CopyText(std::string_view(node->name, node->name_length), buffer);
    }
    case 105:
      if (element < 1 || element > 255) return 0;
      buffer[0] = static_cast<char>(element);
      buffer[1] = '\0';
      return 1;
    case 106:
    case 107:
    case 108:
    case 109: {
      const NamedTree* tree = TreeOfBaseId(id);
      return CopyText(std::string_view(tree->base_path, sizeof tree->base_path), buffer);
    }
    default: return 0;
  }
}

double GetSystemValueReal(uint32_t number, int64_t element) {
  const VariableRecord* v = FindVariable(number);
  if (v == nullptr || element < 0 || element >= v->count) return 0.0;
  if (number < kFirstScriptVariable) return GetSystemValueRealById(number, element);
  if (v->type == kVarReal) return v->reals[element];
  if (v->type == kVarInt) return static_cast<double>(v->ints[element]);
  return 0.0;
}

int64_t GetSystemValue(uint32_t number, int64_t element) {
  const VariableRecord* v = FindVariable(number);
  if (v == nullptr || element < 0 || element >= v->count) return 0;
  if (number < kFirstScriptVariable) return GetSystemValueById(number, element);
  if (v->type == kVarInt) return v->ints[element];
  if (v->type == kVarReal) return TruncToInt64(v->reals[element]);
  return 0;
}

void InstallSystemVariableReaders() {
  g_system_variable_readers =
      SystemVariableReaders{ReadSystemInt, ReadSystemReal, ReadSystemString};
}

void SetLocalTimeSource(LocalTimeSource source) {
  g_local_time_source = source != nullptr ? source : platform::GetLocalTime;
}


void InitSystemVariableState() {
  ResetMessageScriptValues();
  g_script_values.user_folders_read = false;
  g_script_values.app_data_folder.clear();
  g_script_values.documents_folder.clear();
}

}  // namespace korvel
