// The variable commands: 85 (conversions between numbers and texts, text edits, array resize,
// insert and delete) and 86 (information about a variable, search).
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// The handlers: decode the arguments (through the installed decoder), then run.
int32_t RunVarConvertCommand();
int32_t RunVarInfoCommand();

// The commands on already decoded arguments (g_args).
int32_t RunVarConvert();
int32_t RunVarInfo();

// Text helpers of the commands (code page 932; a double-byte pair is one character).
size_t CountSjisChars(const char* text, size_t length);
// The byte offset after stepping `chars` characters from the start; false when the text ends first
// (stepping exactly to the end is allowed only when `allow_end`).
bool StepSjisChars(const char* text, size_t length, int64_t chars, bool allow_end, size_t* offset);
// Upper-cases a..z in place, stepping over double-byte characters.
void UpperCaseAscii(char* text);

}  // namespace korvel
