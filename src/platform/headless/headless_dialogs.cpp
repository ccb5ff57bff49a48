// Headless dialogs: every dialog takes the next answer of the answer queue (KORVEL_ANSWERS or added
// by a test). A dialog without a fitting answer ends the run with status 2, except the error
// dialog, for which no answer means Exit. Answers are taken on the main thread, as the SDL backend
// shows its dialogs there, so a dialog raised on another thread waits for the main thread here too.
#include <cstdio>

#include "platform/backend.h"

#include "platform/headless/headless_api.h"
#include "platform/headless/headless_state.h"

namespace korvel::platform::headless {
namespace {

bool TakeAnswer(Answer* answer) {
  bool taken = false;
  OnMainThread([&] {
    std::lock_guard lock(g_state.mutex);
    if (g_state.answers.empty()) return;
    *answer = std::move(g_state.answers.front());
    g_state.answers.pop_front();
    taken = true;
  });
  return taken;
}

// The result codes of the buttons a message box with `flags` shows.
bool IsButtonOf(uint32_t flags, int32_t code) {
  switch (flags & kMbButtonsMask) {
    case kMbOk:
      return code == kIdOk;
    case kMbOkCancel:
      return code == kIdOk || code == kIdCancel;
    case kMbAbortRetryIgnore:
      return code == kIdAbort || code == kIdRetry || code == kIdIgnore;
    case kMbYesNoCancel:
      return code == kIdYes || code == kIdNo || code == kIdCancel;
    case kMbYesNo:
      return code == kIdYes || code == kIdNo;
    case kMbRetryCancel:
      return code == kIdRetry || code == kIdCancel;
    default:
      return false;
  }
}

}  // namespace

int32_t HeadlessBackend::MessageBox(WindowId /*owner*/, std::string_view /*title_sjis*/,
                                    std::string_view /*text_sjis*/, uint32_t flags) {
  Answer answer;
  if (!TakeAnswer(&answer)) {
    HeadlessAbortRun("a message box found no answer left");
    return kIdCancel;
  }
  if (answer.kind != AnswerKind::kCode || !IsButtonOf(flags, answer.code)) {
    HeadlessAbortRun("the answer '" + answer.raw + "' is not a button of the message box");
    return kIdCancel;
  }
  return answer.code;
}

int32_t HeadlessBackend::ErrorDialog(WindowId /*owner*/, std::string_view /*title_sjis*/,
                                     std::string_view /*text_sjis*/, int edit_button,
                                     EditCallback on_edit, void* context) {
  Answer answer;
  while (TakeAnswer(&answer)) {
    if (answer.kind == AnswerKind::kCode && answer.code == kIdExit) break;
    if (answer.kind != AnswerKind::kCode || answer.code != kIdEdit) {
      HeadlessAbortRun("the answer '" + answer.raw + "' is not a button of the error dialog");
      break;
    }
    // A disabled or absent Edit button does nothing; the dialog stays.
    if (edit_button == 1 && on_edit != nullptr) on_edit(context);
  }
  return kIdExit;
}

}  // namespace korvel::platform::headless

namespace korvel::platform {

void HeadlessAbortRun(std::string_view why) {
  SetHeadlessAbortStatus(2);
  std::fprintf(stderr, "korvel: headless run cannot go on: %.*s\n", static_cast<int>(why.size()),
               why.data());
  Event quit;
  quit.kind = EventKind::kQuit;
  PostEvent(std::move(quit));
}

bool TakeHeadlessAnswer(std::string* answer) {
  headless::Answer taken;
  if (!headless::TakeAnswer(&taken)) return false;
  *answer = std::move(taken.raw);
  return true;
}

bool TakeHeadlessTextAnswer(std::string* text_utf8) {
  headless::Answer taken;
  if (!headless::TakeAnswer(&taken)) {
    HeadlessAbortRun("a text input dialog found no answer left");
    return false;
  }
  if (taken.kind != headless::AnswerKind::kText) {
    HeadlessAbortRun("the answer '" + taken.raw + "' is not a text: answer");
    return false;
  }
  *text_utf8 = std::move(taken.text);
  return true;
}

bool TakeHeadlessMenuAnswer(int32_t* command) {
  headless::Answer taken;
  if (!headless::TakeAnswer(&taken)) {
    HeadlessAbortRun("a popup menu found no answer left");
    return false;
  }
  if (taken.kind != headless::AnswerKind::kMenu) {
    HeadlessAbortRun("the answer '" + taken.raw + "' is not a menu: answer");
    return false;
  }
  *command = taken.code;
  return true;
}

bool QueueHeadlessAnswer(std::string_view line, std::string* error) {
  headless::Answer answer;
  bool empty = false;
  if (!headless::ParseAnswerLine(line, &answer, &empty, error)) return false;
  if (empty) return true;
  std::lock_guard lock(headless::g_state.mutex);
  headless::g_state.answers.push_back(std::move(answer));
  return true;
}

size_t HeadlessAnswersLeft() {
  std::lock_guard lock(headless::g_state.mutex);
  return headless::g_state.answers.size();
}

}  // namespace korvel::platform
