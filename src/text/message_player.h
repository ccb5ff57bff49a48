// The message player: types the pending text ops into the target layer at the character delay,
// stops at click waits, lets configured keys skip the delay or release a wait, and ends the message.
#pragma once

#include <cstdint>

namespace korvel {

struct ScriptTask;

inline constexpr int32_t kSkipKeySlots = 4;

struct MessagePlayerState {
  uint32_t skip;         // while set, character delays are not waited for
  uint32_t delay_clock;  // NowMs() value: when the last character became due
  int32_t pressed_keys[kSkipKeySlots];  // key codes that act on their press frame
  int32_t held_keys[kSkipKeySlots];     // key codes that act while held
};

extern MessagePlayerState g_message_player;

// Skip flag and clock cleared, the default keys (left button, Enter; Ctrl).
void InitMessagePlayer();

// Per tick for a task in message wait: plays, then ends the message and releases the task when
// every op has been played. Returns 0.
int32_t UpdateMessageText(ScriptTask* task);
// Plays ops from the op index until one must wait.
void RunTextOps();
// 0 when the character op at the op index may be drawn now, -1 when it must wait.
int32_t WaitCharDelay();

// Installs UpdateMessageText as the runner's message step and the layer code's release notice.
void InstallMessagePlayer();

}  // namespace korvel
