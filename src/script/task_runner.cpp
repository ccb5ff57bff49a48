// The task runner, the per-command wrapper, the debug corner escape and the headless watchdog.
#include "script/task_runner.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/display_state.h"
#include "core/engine_state.h"
#include "core/engine_timers.h"
#include "core/error_report.h"
#include "core/frame_step.h"
#include "script/task_payload.h"
#include "core/project_config.h"
#include "core/sjis_text.h"
#include "core/window_proc.h"
#include "core/window_record.h"
#include "platform/environment.h"
#include "platform/platform.h"
#include "platform/text_encoding.h"
#include "script/scene_file.h"
#include "script/script_data.h"

namespace korvel {

ScriptRunner g_runner;
TaskMessageStep g_task_message_step = nullptr;

namespace {

constexpr uint64_t kCornerTestInterval = 1024;
constexpr int32_t kCornerMargin = 8;
constexpr uint32_t kPauseSleepMs = 10;

bool LinkedToRoot(const NamedTreeNode* node) {
  for (; node != nullptr; node = node->parent) {
    if (node == g_task_tree.root) return true;
  }
  return false;
}

void SampleMainWindow() {
  const WindowRecord* main = g_windows[0];
  g_runner.main_window_shown =
      main != nullptr && main->handle != platform::kNoWindow && platform::IsWindowVisible(main->handle)
          ? 1
          : 0;
}

void ReadTickBudget() {
  g_runner.budget_read = 1;
  g_runner.tick_budget = 0;
  if (!platform::IsHeadless()) return;
  g_runner.tick_budget = kDefaultHeadlessTickBudget;
  if (platform::HasEnvironment("KORVEL_TICK_BUDGET")) {
    const std::string text = platform::GetEnvironment("KORVEL_TICK_BUDGET");
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (end != text.c_str() && *end == '\0') g_runner.tick_budget = value;
  }
}

// Counts one unit of work against the pass's budget; true once the watchdog has ended the run.
bool SpendBudget() {
  if (g_runner.tick_budget == 0) return false;
  if (++g_runner.tick_used <= g_runner.tick_budget) return false;
  if (g_runner.watchdog_tripped == 0) {
    g_runner.watchdog_tripped = 1;
    const char* file = nullptr;
    int line = 0;
    std::string where;
    if (CurrentScriptPosition(&file, &line)) {
      where = " at " + platform::Cp932ToUtf8(file) + ":" + std::to_string(line);
    }
    std::fprintf(stderr,
                 "korvel: watchdog: more than %llu commands in one tick%s (KORVEL_TICK_BUDGET)\n",
                 static_cast<unsigned long long>(g_runner.tick_budget), where.c_str());
    std::fflush(stderr);
  }
  SetQuitFromReport(true);
  return true;
}

// Every 1024 commands with the debug byte set: four corners touched by the cursor end the run
// after the player confirms.
void TestDebugCorners() {
  int32_t x = 0, y = 0;
  platform::GetCursorPos(&x, &y);
  const int32_t w = g_display.desktop_width, h = g_display.desktop_height;
  const bool left = x <= kCornerMargin, right = x >= w - 1 - kCornerMargin;
  const bool top = y <= kCornerMargin, bottom = y >= h - 1 - kCornerMargin;
  if (top && left) g_runner.corner_mask |= 1;
  if (bottom && left) g_runner.corner_mask |= 2;
  if (top && right) g_runner.corner_mask |= 4;
  if (bottom && right) g_runner.corner_mask |= 8;
  if (g_runner.corner_mask != 15) return;
  g_runner.corner_mask = 0;
  const platform::WindowId owner =
      g_windows[0] != nullptr ? g_windows[0]->handle.load() : platform::kNoWindow;
  const int32_t answer = platform::MessageBox(
      owner, Sjis("[デバッグ機能]"),
      Sjis("マウスによる画面四隅への移動を検出しました。\n\n強制的に終了します。よろしいですか？"),
      platform::kMbYesNo | platform::kMbIconInformation);
  if (answer == platform::kIdYes) SetQuitFlag();
}

void ReportRanPastEnd(const SceneScript* scene) {
  // Point at the last command the task could run.
  const uint32_t count = scene != nullptr ? scene->command_count : 0;
  g_runner.command_index = count > 0 ? count - 1 : 0;
  ReportScriptErrorPlain(900000, true);
}

void RunCommandLoop(ScriptTask* task) {
  g_runner.last_result = 0;
  while (!QuitRequested() && g_runner.last_result == 0) {
    const SceneScript* scene = FindLoadedScene(task->script_number);
    const uint32_t index = task->command_index;
    if (scene == nullptr || task->command_tables == nullptr || index >= scene->command_count) {
      ReportRanPastEnd(scene);
      g_runner.last_result = -1;
      break;
    }
    task->command_index = index + 1;
    g_runner.command_index = index;
    const auto* tables = static_cast<CommandHandler* const*>(task->command_tables);
    g_runner.last_result = tables[EnginePaused() ? 0 : 1][index]();
    ++g_runner.executed;
    if (g_project.debug != 0 && g_runner.executed % kCornerTestInterval == 0) TestDebugCorners();
    if (SpendBudget()) break;
  }
}

void RunTaskTurn(NamedTreeNode* node, ScriptTask* task) {
  if (task->tick_stamp == g_frame.tick_counter) return;
  task->tick_stamp = g_frame.tick_counter;
  g_runner.task = task;
  g_runner.node = node;
  if (g_task_message_step != nullptr) g_task_message_step(task);
  if (task->message_busy != 0) return;
  if (task->frame_wait != 0) --task->frame_wait;
  // The wake-up compares across the clock's wrap: a time not later than now has come.
  if (task->wake_time != 0 &&
      static_cast<int32_t>(task->wake_time - platform::NowMs()) <= 0) {
    task->wake_time = 0;
  }
  if (task->frame_wait == 0 && task->wake_time == 0) RunCommandLoop(task);
}

}  // namespace

bool EnginePaused() {
  if (g_keep_running_inactive.load(std::memory_order_relaxed) != 0) return false;
  const WindowRecord* main = g_windows[0];
  if (main == nullptr || main->focus.load(std::memory_order_relaxed) != 0) return false;
  return g_runner.main_window_shown != 0;
}

void RunScriptTasksBelow(NamedTreeNode* parent) {
  NamedTreeNode* child = parent->last_child;
  while (child != nullptr) {
    // A task may have stopped this group (or one above it) meanwhile.
    if (!LinkedToRoot(parent)) return;
    NamedTreeNode* before = child->prev_sibling;
    auto* task = static_cast<ScriptTask*>(child->payload);
    if (task != nullptr && task->enabled != 0 && task->active != 0) {
      if (child->kind == kNodeGroup) {
        RunScriptTasksBelow(child);
      } else {
        RunTaskTurn(child, task);
      }
    }
    // Go on in front of the child as the list now stands, so that a task started or stopped
    // during the turn never makes another lose its turn. When the child and its neighbour are both
    // gone, start again from the back: tasks that already ran carry this tick's stamp.
    if (child->parent == parent) {
      child = child->prev_sibling;
    } else if (before == nullptr) {
      child = nullptr;
    } else {
      child = before->parent == parent ? before : parent->last_child;
    }
  }
}

int RunScriptTasks() {
  if (g_runner.pass_depth != 0 || g_task_tree.root == nullptr) return 0;
  if (g_runner.budget_read == 0) ReadTickBudget();
  SetScriptPositionProvider(CurrentScriptPosition);
  SampleMainWindow();
  g_runner.tick_used = 0;
  ++g_runner.pass_depth;
  RunScriptTasksBelow(g_task_tree.root);
  --g_runner.pass_depth;
  g_runner.task = nullptr;
  g_runner.node = nullptr;
  FreeStoppedTasks();
  return 0;
}

int32_t StepCommand() {
  while (EnginePaused()) {
    const WindowRecord* main = g_windows[0];
    UpdatePauseTimers(main != nullptr && main->focus.load() != 0);
    // The main thread drains the events; in threaded mode it does so itself.
    if (platform::IsMainThread()) PumpMessages();
    if (g_engine.running_flag.load() == 0 || QuitRequested()) return 1;
    if (SpendBudget()) return 1;
    platform::SleepMs(kPauseSleepMs);
    // Headless frames go on while the scripts are held: the pause holds the scripts, not the
    // frames that bring the scripted input (the focus coming back) and the frame limit.
    if (platform::IsHeadless() && StepHeldHeadlessFrame()) return 1;
    SampleMainWindow();
  }
  const ScriptTask* task = g_runner.task;
  if (task == nullptr || task->command_tables == nullptr) return 1;
  const auto* tables = static_cast<CommandHandler* const*>(task->command_tables);
  return tables[1][g_runner.command_index]();
}

void StopTaskNode(NamedTreeNode* node) {
  if (node == nullptr) return;
  UnlinkTreeNode(node);
  if (std::find(g_runner.stopped.begin(), g_runner.stopped.end(), node) == g_runner.stopped.end()) {
    g_runner.stopped.push_back(node);
  }
}

void FreeStoppedTasks() {
  // Runs between passes, when no stopped task is current any more.
  std::vector<NamedTreeNode*> nodes;
  nodes.swap(g_runner.stopped);
  for (NamedTreeNode* node : nodes) DestroyTreeNode(node, FreeTaskPayload);
}

bool CurrentScriptPosition(const char** file, int* line) {
  const ScriptTask* task = g_runner.task;
  if (task == nullptr) return false;
  *file = ScriptSourcePath(task->script_number);
  *line = 1;
  const SceneScript* scene = FindLoadedScene(task->script_number);
  if (scene != nullptr && scene->command_count > 0) {
    uint32_t index = g_runner.command_index;
    if (index >= scene->command_count) index = scene->command_count - 1;
    *line = static_cast<int>(scene->lines[index]);
  }
  return true;
}

void SetCurrentTask(NamedTreeNode* node, ScriptTask* task, uint32_t index) {
  SetScriptPositionProvider(CurrentScriptPosition);
  g_runner.node = node;
  g_runner.task = task;
  g_runner.command_index = index;
}

void SetScriptTickBudget(uint64_t budget) {
  g_runner.budget_read = 1;
  g_runner.tick_budget = budget;
}

void InitScriptRunner() {
  g_runner.task = nullptr;
  g_runner.node = nullptr;
  FreeStoppedTasks();
  g_runner.command_index = 0;
  g_runner.last_result = 0;
  g_runner.executed = 0;
  g_runner.corner_mask = 0;
  g_runner.pass_depth = 0;
  g_runner.main_window_shown = 0;
  g_runner.tick_budget = 0;
  g_runner.tick_used = 0;
  g_runner.budget_read = 0;
  g_runner.watchdog_tripped = 0;
}

}  // namespace korvel
