// Command 10: shows a message box or the text-input dialog and stores the answer.
#include "commands/message_box_command.h"

#include <string>

#include "core/input_state.h"
#include "core/window_record.h"
#include "platform/input_dialog.h"
#include "platform/platform.h"
#include "script/decoded_arguments.h"
#include "script/variables.h"

namespace korvel {

std::atomic<uint8_t> g_message_box_open{0};

namespace {

platform::WindowId MainWindowHandle() {
  return g_windows[0] != nullptr ? g_windows[0]->handle.load() : platform::kNoWindow;
}

void ShowCursorForDialog() {
  RequestCursorShow();
  ApplyCursorRequest();
}

}  // namespace

uint32_t MessageBoxFlagsFromArgs() {
  uint32_t flags = platform::kMbOk;
  if (ArgGiven(13)) flags = platform::kMbOkCancel;
  if (ArgGiven(14)) flags = platform::kMbYesNo;
  if (ArgGiven(15)) flags = platform::kMbYesNoCancel;
  switch (ArgValue(18)) {
    case 2: flags |= platform::kMbDefButton2; break;
    case 3: flags |= platform::kMbDefButton3; break;
    default: break;
  }
  switch (ArgValue(19)) {
    case 1: flags |= platform::kMbIconInformation; break;
    case 2: flags |= platform::kMbIconQuestion; break;
    case 3: flags |= platform::kMbIconWarning; break;
    case 4: flags |= platform::kMbIconError; break;
    default: break;
  }
  return flags;
}

int64_t ScriptAnswerFor(uint32_t flags, int32_t result) {
  const uint32_t buttons = flags & platform::kMbButtonsMask;
  if (buttons == platform::kMbOk || buttons == platform::kMbOkCancel) {
    if (result == platform::kIdOk) return 1;
    if (result == platform::kIdCancel) return 2;
    return 0;
  }
  if (result == platform::kIdYes) return 1;
  if (result == platform::kIdNo) return 2;
  if (result == platform::kIdCancel) return 3;
  return 0;
}

int32_t RunMessageBoxCommand() {
  if (g_argument_decoder(kCommandMessageBox) != 0) return -1;
  const DecodedArgument* text_target = FindArg(10);
  const DecodedArgument* answer_target = FindArg(11);
  if (ArgGiven(16)) {
    platform::InputDialogRequest request;
    request.title = ArgText(0);
    request.label = ArgText(1);
    request.default_text = ArgText(9);
    const int64_t limit = ArgValue(17);
    request.limit = limit > 0 && limit <= INT32_MAX ? static_cast<int32_t>(limit) : 0;
    ShowCursorForDialog();
    std::string answer;
    if (platform::InputDialog(MainWindowHandle(), request, &answer) != platform::kIdOk) return -1;
    if (answer_target != nullptr) {
      SetVarNumberElement(answer_target->var_number, answer_target->element_index, 1);
    }
    if (text_target != nullptr) {
      SetVarStringElement(text_target->var_number, text_target->element_index, answer.c_str());
    }
    return 0;
  }
  const uint32_t flags = MessageBoxFlagsFromArgs();
  ShowCursorForDialog();
  g_message_box_open.store(1);
  const int32_t result = platform::MessageBox(MainWindowHandle(), ArgText(0), ArgText(1), flags);
  g_message_box_open.store(0);
  const int64_t answer = ScriptAnswerFor(flags, result);
  if (answer_target != nullptr && answer != 0) {
    SetVarNumberElement(answer_target->var_number, answer_target->element_index, answer);
  }
  return 0;
}

}  // namespace korvel
