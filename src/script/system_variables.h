// System variables: variable numbers below 1000 whose elements are computed from engine state when
// they are read (local time, timers, input counters, call and task arguments, engine values and
// texts), and the few engine values that only scripts and the text code keep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace korvel {

// Integer system variable `id`, element `element`. Ids and elements outside a family give 0.
// Engine values by id: 2, 3 frames run and drawn in the last second; 4 sound on; 5, 6, 7 memory
// load (%), total and free bytes; 9 data folder read-only; 11 debug byte; 13 DirectX figure;
// 87, 88 frame and tick counters; 90 settings field 10; 92, 93, 94 desktop depth, width, height;
// 95 close requested; 96..98 the text code's switches; 99 keep running while inactive; 110
// commands run; 123 last key; 124 last mouse button. Ids 393..520 read the down byte of key
// codes 0..127.
int64_t GetSystemValueById(uint32_t id, int64_t element);
// Double system variable: 10 is pi, 51, 55 and 59 the double call argument, return value and task
// argument k; every other id gives 0.0.
double GetSystemValueRealById(uint32_t id, int64_t element);
// String system variable: writes the text with a NUL into `buffer` (kStringBufferSize bytes, cut on
// a character boundary) and returns its length. Id 14 with an element past the dropped files is
// error 107010 (fatal) and the empty text. Paths 81..85: the game folder, the save folder, the
// program, the application-data and the documents folder (code page 932; folders end with '/').
size_t ReadSystemStringVariable(uint32_t id, int64_t element, char* buffer);

// Any variable's element as a double or a 64-bit integer: 0 outside the variable's elements or for
// a type without numbers; numbers below 1000 are computed by the getters above.
double GetSystemValueReal(uint32_t number, int64_t element);
int64_t GetSystemValue(uint32_t number, int64_t element);

// Installs the getters above as the evaluator's and the variables' system-variable readers.
void InstallSystemVariableReaders();

// Where the local time of system variable 0 comes from (null: platform::GetLocalTime); kept across
// InitSystemVariableState, like the other hooks the program wires.
using LocalTimeSource = platform::LocalTime (*)();
void SetLocalTimeSource(LocalTimeSource source);

// Engine values that scripts read and that no other code owns.
struct ScriptEngineValues {
  // The user folders behind ids 84 and 85, looked up on first use.
  bool user_folders_read;
  std::string app_data_folder;
  std::string documents_folder;
};
extern ScriptEngineValues g_script_values;

// Resets the values above and the message code's script values (the local time source stays as
// set).
void InitSystemVariableState();

// The fixed key code table of ids 393..520 (a byte of key state per id).
int32_t KeyCodeOfStateId(uint32_t id);

}  // namespace korvel
