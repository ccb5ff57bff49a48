// The message player: typing, click waits, skip keys and the end of a message.
#include "text/message_player.h"

#include <algorithm>

#include "core/error_report.h"
#include "core/input_state.h"
#include "layer/dirty_rects.h"
#include "layer/layer_record.h"
#include "pixel/pixel_kernels.h"
#include "platform/platform.h"
#include "script/script_task.h"
#include "script/task_runner.h"
#include "text/message_glyph.h"
#include "text/message_text_state.h"
#include "text/text_wrap.h"

namespace korvel {

MessagePlayerState g_message_player{};

namespace {

constexpr int32_t kErrorBadOp = 900010;

int64_t KeyCount(int32_t code) {
  return code >= 0 && code < kKeyCodeCount ? g_keys.counter[code] : 0;
}

bool AnyHeld() {
  for (int32_t code : g_message_player.held_keys) {
    if (KeyCount(code) > 0) return true;
  }
  return false;
}

bool AnyJustPressed() {
  for (int32_t code : g_message_player.pressed_keys) {
    if (KeyCount(code) == 1) return true;
  }
  return false;
}

// The 'C' op is consumed and the delay clock restarts at the next op.
void ReleaseClickWait(MessageTextState& m) {
  m.retime = 1;
  m.click_wait = 0;
  m.op_index += 1;
}

void MessageStep(ScriptTask* task) { UpdateMessageText(task); }

void TargetReleased() {
  if (g_message != nullptr) g_message->target = nullptr;
}

}  // namespace

void InitMessagePlayer() {
  g_message_player = MessagePlayerState{};
  g_message_player.pressed_keys[0] = 1;   // left mouse button
  g_message_player.pressed_keys[1] = 13;  // Enter
  g_message_player.pressed_keys[2] = kNoKey;
  g_message_player.pressed_keys[3] = kNoKey;
  g_message_player.held_keys[0] = 17;  // Ctrl
  for (int32_t i = 1; i < kSkipKeySlots; ++i) g_message_player.held_keys[i] = kNoKey;
}

int32_t WaitCharDelay() {
  MessageTextState& m = *g_message;
  if (g_message_player.skip != 0 || m.char_index == 0) return 0;
  const auto delay = static_cast<uint32_t>(static_cast<int32_t>(m.delays[m.op_index]));
  const uint32_t elapsed = platform::NowMs() - g_message_player.delay_clock;
  if (delay > elapsed) return -1;
  // Late ticks catch up: several characters can become due in one tick.
  g_message_player.delay_clock += delay;
  return 0;
}

void RunTextOps() {
  MessageTextState& m = *g_message;
  NamedTreeNode* target = m.target;
  LayerData* layer = LayerOf(target);
  // Without a layer that has pixels the ops are still played (delays and click waits included),
  // only nothing is drawn.
  const bool drawable = LayerHasPixels(layer);
  bool changed = false;
  for (;;) {
    if (m.op_index >= m.op_count) {
      g_message_player.skip = 0;
      return;
    }
    if (m.retime != 0) {
      m.retime = 0;
      g_message_player.delay_clock = platform::NowMs();
    }
    const uint8_t op = m.ops[m.op_index];
    switch (op) {
      case kOpOneByte:
      case kOpTwoByte: {
        if (WaitCharDelay() == -1) return;
        uint8_t glyph[3];
        const int32_t bytes = CopyMessageCharacter(m.char_index, op == kOpTwoByte, glyph);
        if (!drawable) {
          m.char_index += bytes;
        } else if (WrapTextLine(target) == 0) {
          DrawOpGlyphAtPen(target, m.op_index, glyph);
          m.char_index += bytes;
          changed = true;
        } else {
          changed = true;  // the wrapper may have drawn; marking more never changes the picture
        }
        break;
      }
      case kOpClickWait:
        m.click_wait = 1;
        g_message_player.skip = 0;
        return;
      case kOpBlockEnd:
        break;
      case kOpPageClear:
      case kOpPageClearAlt:
        if (drawable) {
          g_pixel_kernels.fill_bytes(layer->pixels,
                                     static_cast<size_t>(layer->width) * 4 *
                                         static_cast<size_t>(layer->height),
                                     0);
          changed = true;
        }
        m.pen_x = 0;
        m.pen_y = 0;
        break;
      case kOpNewLine:
      case kOpNewLineAlt:
        m.pen_x = 0;
        m.pen_y += m.line_heights[m.op_index];
        break;
      default:
        ReportErrorPlain(kErrorBadOp, true);
        return;
    }
    m.op_index += 1;
    if (changed) MarkDirtyUpward(target);
  }
}

int32_t UpdateMessageText(ScriptTask* task) {
  if (task == nullptr || task->message_busy == 0 || g_message == nullptr) return 0;
  MessageTextState& m = *g_message;
  if (m.shown != 1) {
    ClearFinishedMessage();
    task->message_busy = 0;
    return 0;
  }
  if (AnyHeld()) {
    if (m.click_wait != 0) {
      ReleaseClickWait(m);
    } else {
      g_message_player.skip = 1;
    }
  }
  RunTextOps();
  if (m.op_count > 0 && AnyJustPressed()) {
    if (m.click_wait != 0) {
      ReleaseClickWait(m);
    } else if (m.op_index < m.op_count) {
      g_message_player.skip = 1;
    }
  }
  if (m.op_index < m.op_count) return 0;
  if (m.op_index >= 1) m.finished = 1;
  ClearFinishedMessage();
  task->message_busy = 0;
  return 0;
}

void InstallMessagePlayer() {
  g_task_message_step = MessageStep;
  g_layer_state.message_target_released = TargetReleased;
}

}  // namespace korvel
