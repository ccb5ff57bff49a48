// Script tasks as tree payloads: creation, release and the task tree's owner.
#include "script/task_payload.h"

#include "core/error_report.h"
#include "core/alloc_zeroed.h"
#include "core/system_objects.h"

namespace korvel {

namespace {

int32_t BuildTaskTree(NamedTree* tree, int32_t, int32_t) {
  if (AllocRootPayload(tree, sizeof(ScriptTask)) == nullptr) return -1;
  NamedTreeNode* group = CreateTreeNode(tree->root, "", true, 100);
  if (group == nullptr || CreateScriptTask(group) == nullptr) return -1;
  NamedTreeNode* system = CreateTreeNode(tree->root, "SYSTEM", false, 100);
  if (system == nullptr) return -1;
  ScriptTask* system_task = CreateScriptTask(system);
  if (system_task == nullptr) return -1;
  system_task->system_flag = 1;
  return 0;
}

}  // namespace

ScriptTask* CreateScriptTask(NamedTreeNode* node) {
  if (node == nullptr) return nullptr;
  auto* task = static_cast<ScriptTask*>(AllocZeroed(sizeof(ScriptTask)));
  if (task == nullptr) {
    ReportErrorPlain(100010, true);
    return nullptr;
  }
  task->call_frames = static_cast<CallFrame**>(AllocZeroed(sizeof(CallFrame*) * kTaskStackDepth));
  if (task->call_frames == nullptr) {
    FreeBlock(task);
    ReportErrorPlain(100010, true);
    return nullptr;
  }
  task->enabled = 1;
  task->active = 1;
  node->payload = task;
  return task;
}

void DestroyScriptTask(ScriptTask* task) {
  if (task == nullptr) return;
  if (task->call_frames != nullptr) {
    for (int32_t i = 0; i < kTaskStackDepth; ++i) {
      CallFrame* frame = task->call_frames[i];
      if (frame == nullptr) continue;
      for (int32_t k = 0; k < kTaskArgumentCount; ++k) {
        FreeBlock(frame->args[k].text);
        FreeBlock(frame->results[k].text);
      }
      FreeBlock(frame);
    }
    FreeBlock(task->call_frames);
  }
  FreeBlock(task);
}

void FreeTaskPayload(void* payload) { DestroyScriptTask(static_cast<ScriptTask*>(payload)); }

void RegisterTaskTree() { RegisterTreeOwner(&g_task_tree, {BuildTaskTree, FreeTaskPayload}); }

}  // namespace korvel
