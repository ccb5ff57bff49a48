// Command 10: a message box or the text-input dialog, with the answer put into script variables.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandMessageBox = 10;

// 1 while command 10's message box is shown.
extern std::atomic<uint8_t> g_message_box_open;

// The message-box flags of command 10's indexes 13 to 15 (buttons), 18 (default button) and 19
// (icon), as given in the decoded arguments.
uint32_t MessageBoxFlagsFromArgs();
// The script's answer for a box's result: 1, 2 or 3 by the buttons shown; 0 for a result the
// buttons cannot give (the variable stays as it is).
int64_t ScriptAnswerFor(uint32_t flags, int32_t result);

// Decodes and runs command 10: 0, or -1 after a failed decode or when the dialog cannot be shown.
int32_t RunMessageBoxCommand();

}  // namespace korvel
