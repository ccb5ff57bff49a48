// Script tasks as tree payloads: creation with their call-frame block, release, and the task tree's
// owner (the unnamed group and "SYSTEM").
#pragma once

#include "core/named_tree.h"
#include "script/script_task.h"

namespace korvel {

// Allocates a task and its call-frame block, sets enabled and active to 1 and attaches it.
// Null for a null node, or after reporting 100010 (fatal).
ScriptTask* CreateScriptTask(NamedTreeNode* node);

// Frees a task, its call frames and their block.
void DestroyScriptTask(ScriptTask* task);

// The task tree's payload release (DestroyScriptTask).
void FreeTaskPayload(void* payload);

// Makes the script code the owner of the task tree: a zero-filled root task, then the unnamed group
// and the leaf "SYSTEM" (order key 100 each) with new tasks, SYSTEM's with its system flag set.
void RegisterTaskTree();

}  // namespace korvel
