// The message commands: 91 appends literal text, 95 the text of a value, 64 ends a text block and
// hands the task to the player, 81 sets the target, keys and settings or appends marks, 82 reads
// message state back.
#pragma once

#include <cstdint>
#include <string>

namespace korvel {

int32_t RunMessageTextCommand();   // 91
int32_t RunMessageValueCommand();  // 95
int32_t RunMessageEndCommand();    // 64
int32_t RunMessageSetCommand();    // 81
int32_t RunMessageGetCommand();    // 82

// The text command 95 shows for a real value: the shortest decimal text that reads back as the same
// double ("0.1", "2", "1e+21", "-inf", "nan").
std::string RealValueText(double value);

// Stores the five handlers in the command table (and keeps them across later table resets).
void RegisterMessageCommandHandlers();

}  // namespace korvel
