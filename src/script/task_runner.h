// The task runner: once per tick every ready script task runs its commands, one handler after
// another, until a handler ends the task's turn; and the per-command wrapper that holds a task while
// the engine is paused.
#pragma once

#include <cstdint>
#include <vector>

#include "core/named_tree.h"
#include "script/script_task.h"

namespace korvel {

struct SceneScript;

struct ScriptRunner {
  // Published for the handlers: the task whose turn it is (null between turns), its node, the
  // command being run and the last handler result.
  ScriptTask* task = nullptr;
  NamedTreeNode* node = nullptr;
  uint32_t command_index = 0;
  int32_t last_result = 0;

  uint64_t executed = 0;    // commands run since start (the debug corner escape counts them)
  uint8_t corner_mask = 0;  // screen corners touched: 1 top-left, 2 bottom-left, 4 top-right, ...
  int32_t pass_depth = 0;   // a pass is running
  uint8_t main_window_shown = 0;  // sampled per pass: only a shown main window can pause the engine

  // Watchdog of headless runs: commands (and paused waits) allowed in one pass; 0 is none.
  uint64_t tick_budget = 0;
  uint64_t tick_used = 0;
  uint8_t budget_read = 0;
  uint8_t watchdog_tripped = 0;

  // Task nodes unlinked during the pass; freed when it ends.
  std::vector<NamedTreeNode*> stopped;
};

extern ScriptRunner g_runner;

// The frame step's hook: runs every ready task of the task tree once for the current tick. Returns 0.
int RunScriptTasks();
// Runs the ready tasks below `node` (children from the last to the first, groups recursively).
void RunScriptTasksBelow(NamedTreeNode* node);

// The per-command wrapper: while the engine is paused it pumps events and sleeps 10 ms at a time;
// returns 1 when the program is ending, else the handler's result.
int32_t StepCommand();

// The engine is paused: the main window is shown but inactive, and keep-running is off.
bool EnginePaused();

// The message-text step that runs first in every task's turn (null: none).
using TaskMessageStep = void (*)(ScriptTask* task);
extern TaskMessageStep g_task_message_step;

// Removes a task node from the tree; the node and its subtree are freed after the current pass
// (the runner may still hold them).
void StopTaskNode(NamedTreeNode* node);
// Frees the nodes stopped so far.
void FreeStoppedTasks();

// The running command's script file and source line, for error reports.
bool CurrentScriptPosition(const char** file, int* line);

// Makes `task` the current task at command `index` as the runner would (tests, benchmarks).
void SetCurrentTask(NamedTreeNode* node, ScriptTask* task, uint32_t index);

// Commands allowed per pass before the watchdog ends the run (0: none). Headless runs start with a
// default that KORVEL_TICK_BUDGET replaces; other platforms have none.
void SetScriptTickBudget(uint64_t budget);
inline constexpr uint64_t kDefaultHeadlessTickBudget = 10'000'000;

// Frees stopped tasks and resets every runner field (the message-text step stays installed).
void InitScriptRunner();

}  // namespace korvel
