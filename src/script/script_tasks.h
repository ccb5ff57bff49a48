// Helpers the flow and task commands share: the running command's records, moving a task to another
// command or script file, call frames and their values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "script/scene_file.h"
#include "script/script_task.h"
#include "script/task_runner.h"

namespace korvel {

struct LabelRecord;

inline ScriptTask* CurrentTask() { return g_runner.task; }

// The argument records of the running command and their count.
const CommandArgRecord* CurrentRecords(uint32_t* count);

// A record's bytecode evaluated as a 64-bit integer by its type code.
int64_t EvaluateRecordInt(const ScriptTask* task, const CommandArgRecord& record);

// Gives the task script file `number`'s tables (the file must be loaded).
void TakeSceneTables(ScriptTask* task, const SceneScript* scene, uint32_t number);

// Moves the task to command `index` of script file `number`, loading the file first when the task
// is in another one. On failure (the file cannot be loaded, 104060; the index lies outside it,
// 900000) the task stays where it was and the result is -1; else 0.
int32_t MoveTaskTo(ScriptTask* task, uint32_t number, uint32_t index);

// The label with this index, or null.
const LabelRecord* LabelAt(int64_t index);

// Call frame `level` of the task, allocated zero-filled on first use; null after reporting 100010.
CallFrame* EnsureCallFrame(ScriptTask* task, int32_t level);

// The frame whose arguments the running routine reads (level call depth - 1), and the frame whose
// results the caller reads after a return (level call depth, the frame just left). Null when there
// is none.
const CallFrame* CallArgumentFrame(const ScriptTask* task);
const CallFrame* CallResultFrame(const ScriptTask* task);

// A call value emptied (0, 0.0, empty text, not given); the text buffer is kept.
void ClearCallValue(CallValue* value);
// Copies `length` bytes and a NUL into the value's text, growing its buffer when too small. False
// after reporting 100010 (the value keeps its old text).
bool SetCallText(CallValue* value, const char* text, size_t length);

// True when `node` is `ancestor` or lies below it.
bool IsNodeWithin(const NamedTreeNode* node, const NamedTreeNode* ancestor);

}  // namespace korvel
