// The message commands 64, 81, 82, 91 and 95.
#include "text/message_commands.h"

#include <charconv>
#include <cstring>
#include <iterator>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/shift_jis.h"
#include "layer/layer_paths.h"
#include "layer/layer_record.h"
#include "script/argument_decoder.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/expression_machine.h"
#include "script/format_constants.h"
#include "script/script_data.h"
#include "script/script_tasks.h"
#include "script/task_runner.h"
#include "script/variables.h"
#include "text/message_append.h"
#include "text/message_player.h"
#include "text/message_text_state.h"

namespace korvel {

namespace {

constexpr int32_t kErrorValueTooLong = 102030;
constexpr int32_t kErrorNoSuchLayer = 101250;
constexpr int32_t kMaxValueText = 1024;

bool SwitchOn(uint8_t param) { return ArgGiven(param) && ArgValue(param) == 1; }

int32_t KeyCodeOf(int64_t value) {
  return value >= 1 && value <= kNoKey ? static_cast<int32_t>(value) : kNoKey;
}

// Command 81 position 0: the layer becomes the message target.
int32_t SetMessageTarget(const DecodedArgument& a) {
  const char* text = a.text != nullptr ? a.text : "";
  LayerPath path;
  if (NormalizeLayerPath(std::string_view(text, a.text != nullptr ? a.text_length : 0), &path) !=
      0) {
    return -1;
  }
  if (LayerData* old = LayerOf(g_message->target); old != nullptr) old->is_message_target = 0;
  g_message->target = nullptr;
  g_layer_state.message_target = nullptr;
  NamedTreeNode* node = FindLayerQuiet(path.text, path.group);
  LayerData* layer = LayerOf(node);
  if (layer == nullptr) {
    ReportScriptError(kErrorNoSuchLayer, true, CommandName(kCommandMessageSet), text);
    return -1;
  }
  g_message->target = node;
  g_layer_state.message_target = node;
  layer->is_message_target = 1;
  return 0;
}

// Appends n bytes of text when they and their ops fit: 0, or -1 after error 102000 (fatal).
int32_t AppendTextChecked(const uint8_t* text, int32_t n) {
  if (!MessageHasRoom(n, CountMessageCharacters(text, n))) {
    ReportScriptErrorPlain(kErrorMessageTooLong, true);
    return -1;
  }
  AppendMessageCharacters(text, n);
  return 0;
}

}  // namespace

std::string RealValueText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

int32_t RunMessageTextCommand() {
  if (DecodeCommandArguments(kCommandMessageText) != 0) return -1;
  const DecodedArgument* a = FindArg(0);
  const auto* text = reinterpret_cast<const uint8_t*>(a != nullptr && a->text != nullptr ? a->text : "");
  const int32_t n = a != nullptr && a->text != nullptr ? static_cast<int32_t>(a->text_length) : 0;
  return AppendTextChecked(text, n);
}

int32_t RunMessageValueCommand() {
  if (DecodeCommandArguments(kCommandMessageValue) != 0) return -1;
  const DecodedArgument* a = FindArg(0);
  // The compiler chooses how the parameter is decoded: raw bytecode is evaluated here by its type
  // code; a string or a number the decoder has already made is taken as it stands.
  const ParameterDefinition* def = FindParameter(kCommandMessageValue, 0);
  const uint8_t kind = def != nullptr ? def->kind : kKindNumber;
  std::string text;
  if (a != nullptr && kind == kKindString) {
    if (a->text != nullptr) text.assign(a->text, a->text_length);
  } else if (a != nullptr && kind != kKindRaw) {
    text = std::to_string(a->value);
  } else if (a != nullptr && a->raw != nullptr && a->type >= kExprTypeInt &&
             a->type <= kExprTypeStringReal) {
    switch (a->type) {
      case kExprTypeInt:
        text = std::to_string(kExpressionEvaluatorTable.to_int[a->type](a->raw, a->length));
        break;
      case kExprTypeReal:
        text = RealValueText(kExpressionEvaluatorTable.to_real[a->type](a->raw, a->length));
        break;
      default: {
        char buffer[kStringBufferSize];
        buffer[0] = '\0';
        const size_t n = kExpressionEvaluatorTable.to_string[a->type](buffer, a->raw, a->length);
        text.assign(buffer, n);
        break;
      }
    }
    if (QuitRequested()) return -1;
  }
  const auto n = static_cast<int32_t>(text.size());
  auto* bytes = reinterpret_cast<uint8_t*>(text.data());
  // The NUL after the text needs one more byte than literal text does.
  if (!MessageHasRoom(n + 1, 0)) {
    ReportScriptErrorPlain(kErrorMessageTooLong, true);
    return -1;
  }
  if (n > kMaxValueText) {
    ReportScriptErrorPlain(kErrorValueTooLong, true);
    return -1;
  }
  // Control bytes and single bytes from 127 up (a lone lead byte at the end included) show as spaces.
  for (int32_t i = 0; i < n;) {
    const size_t length = SjisCharLength(text.data(), static_cast<size_t>(i), text.size());
    if (length == 1 && (bytes[i] < 32 || bytes[i] >= 127)) bytes[i] = ' ';
    i += static_cast<int32_t>(length);
  }
  return AppendTextChecked(bytes, n);
}

int32_t RunMessageEndCommand() {
  if (DecodeCommandArguments(kCommandMessageEnd) != 0) return -1;
  ScriptTask* task = CurrentTask();
  MessageTextState& m = *g_message;
  if (task != nullptr) {
    task->message_position[0] = task->script_number;
    task->message_position[1] = g_runner.command_index;
  }
  if (m.shown != 0) {
    if (m.end_click_wait != 0 && AppendMessageMark(kOpClickWait, false) != 0) return -1;
    if (m.end_new_line != 0 && AppendMessageMark(kOpNewLine, true) != 0) return -1;
    if (m.end_page_clear != 0 && AppendMessageMark(kOpPageClear, false) != 0) return -1;
  } else {
    m.finished = 1;
  }
  if (AppendMessageMark(kOpBlockEnd, false) != 0) return -1;
  if (task != nullptr) task->message_busy = 1;
  return -1;
}

int32_t RunMessageSetCommand() {
  if (DecodeCommandArguments(kCommandMessageSet) != 0) return -1;
  MessageTextState& m = *g_message;
  if (const DecodedArgument* a = FindArg(0); a != nullptr && SetMessageTarget(*a) != 0) return -1;
  if (ArgGiven(1)) m.shown = static_cast<uint8_t>(ArgValue(1));
  for (int32_t k = 0; k < kSkipKeySlots; ++k) {
    if (ArgGiven(static_cast<uint8_t>(2 + k))) {
      g_message_player.pressed_keys[k] = KeyCodeOf(ArgValue(static_cast<uint8_t>(2 + k)));
    }
    if (ArgGiven(static_cast<uint8_t>(6 + k))) {
      g_message_player.held_keys[k] = KeyCodeOf(ArgValue(static_cast<uint8_t>(6 + k)));
    }
  }
  if (ArgGiven(10)) {
    const int64_t delay = ArgValue(10);
    m.char_delay = static_cast<uint32_t>(delay < 0 ? 0 : delay > kMaxCharDelay ? kMaxCharDelay : delay);
  }
  if (SwitchOn(15)) {
    if (AppendMessageMark(kOpClickWait, true) != 0) return -1;
    if (m.shown == 1) return -1;
  }
  static constexpr struct {
    uint8_t param;
    uint8_t op;
  } kMarks[] = {{11, kOpNewLine}, {12, kOpPageClear}, {13, kOpNewLineAlt}, {14, kOpPageClearAlt}};
  for (const auto& mark : kMarks) {
    if (SwitchOn(mark.param) && AppendMessageMark(mark.op, true) != 0) return -1;
  }
  if (SwitchOn(16)) {
    m.finished = 1;
    ClearFinishedMessage();
  }
  if (ArgGiven(17)) m.end_new_line = static_cast<uint32_t>(ArgValue(17));
  if (ArgGiven(18)) m.end_page_clear = static_cast<uint32_t>(ArgValue(18));
  if (ArgGiven(19)) m.end_click_wait = static_cast<uint32_t>(ArgValue(19));
  return 0;
}

int32_t RunMessageGetCommand() {
  if (DecodeCommandArguments(kCommandMessageGet) != 0) return -1;
  const DecodedArgument* out = FindArg(8);
  if (out == nullptr) return 0;
  const MessageTextState& m = *g_message;
  const int64_t values[] = {0,         m.shown,          m.pen_x,         m.pen_y,
                            m.click_wait, m.end_new_line, m.end_page_clear, m.end_click_wait};
  for (uint8_t p = 1; p < std::size(values); ++p) {
    if (ArgGiven(p)) {
      SetVarNumberElement(out->var_number, out->element_index, values[p]);
      break;
    }
  }
  return 0;
}

void RegisterMessageCommandHandlers() {
  static constexpr struct {
    uint8_t number;
    CommandHandler handler;
  } kHandlers[] = {{kCommandMessageEnd, RunMessageEndCommand},
                   {kCommandMessageSet, RunMessageSetCommand},
                   {kCommandMessageGet, RunMessageGetCommand},
                   {kCommandMessageText, RunMessageTextCommand},
                   {kCommandMessageValue, RunMessageValueCommand}};
  for (const auto& h : kHandlers) RegisterCommandHandler(h.number, h.handler);
}

}  // namespace korvel
