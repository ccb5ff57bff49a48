// Start-up of the text code: the message record, the player and the message commands.
#pragma once

#include "text/message_commands.h"

namespace korvel {

// Creates the message record, resets the player and the script values, and installs the player as
// the runner's message step. 0, or -1 after error 100010 (out of memory; start-up fails).
int StartMessageText();

}  // namespace korvel
