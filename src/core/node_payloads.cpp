// Creators and release of the node payload records.
#include "core/node_payloads.h"

#include <cstring>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"

namespace korvel {

MenuItem* CreateMenuItemObject(NamedTreeNode* node, const char* text) {
  if (node == nullptr) return nullptr;
  auto* item = static_cast<MenuItem*>(AllocZeroed(sizeof(MenuItem)));
  if (item == nullptr) {
    ReportErrorPlain(100010, true);
    return nullptr;
  }
  item->text = static_cast<char*>(AllocZeroed(kMenuTextCapacity));
  if (item->text == nullptr) {
    FreeBlock(item);
    ReportErrorPlain(100010, true);
    return nullptr;
  }
  if (text != nullptr) {
    const size_t n = strnlen(text, kMenuTextCapacity - 1);
    std::memcpy(item->text, text, n);
  }
  item->present = 1;
  item->enabled = 256;
  node->payload = item;
  return item;
}

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

namespace {

LayerData* NewLayerData() {
  auto* record = static_cast<LayerData*>(AllocZeroed(sizeof(LayerData)));
  if (record == nullptr) return nullptr;
  record->mask_path = static_cast<char*>(AllocZeroed(kLayerStringCapacity));
  record->second_string = static_cast<char*>(AllocZeroed(kLayerStringCapacity));
  if (record->mask_path == nullptr || record->second_string == nullptr) {
    FreeBlock(record->mask_path);
    FreeBlock(record->second_string);
    FreeBlock(record);
    return nullptr;
  }
  record->visible = 1;
  record->opacity = 256;
  record->width = 1;
  record->height = 1;
  record->mask_level = 256;
  record->value_slot23 = 128;
  record->colour_slot24 = 0x808080;
  record->has_alpha = 0;
  return record;
}

}  // namespace

int32_t AllocLayerData(NamedTreeNode* node) {
  LayerData* record = NewLayerData();
  if (record == nullptr) {
    ReportErrorPlain(100010, true);
    return 1;
  }
  if (node == nullptr) {
    ReleaseLayerData(record);
    return 1;
  }
  ShareLayerData(node, record);
  return 0;
}

LayerData* CreateLayerDataForNode(NamedTreeNode* node) {
  if (node == nullptr) return nullptr;
  if (AllocLayerData(node) != 0) return nullptr;
  return static_cast<LayerData*>(node->payload);
}

int32_t ShareLayerData(NamedTreeNode* node, LayerData* record) {
  if (node != nullptr && record != nullptr) {
    node->payload = record;
    ++record->reference_count;
  }
  return 0;
}

LayerData* AttachNodePayload(NamedTreeNode* node, LayerData* record) {
  if (node == nullptr) return nullptr;
  ShareLayerData(node, record);
  return record;
}

LayerData* AllocZeroedLayerData() {
  auto* record = static_cast<LayerData*>(AllocZeroed(sizeof(LayerData)));
  if (record == nullptr) ReportErrorPlain(100010, true);
  return record;
}

void ReleaseLayerData(LayerData* record) {
  if (record == nullptr) return;
  if (record->reference_count > 0) --record->reference_count;
  if (record->reference_count > 0) return;
  if (g_layer_extras_release != nullptr) g_layer_extras_release(record);
  FreeBlock(record->pixels);
  FreeBlock(record->aux_buffer);
  FreeBlock(record->mask_path);
  FreeBlock(record->second_string);
  FreeBlock(record);
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

void DestroyMenuItem(MenuItem* item) {
  if (item == nullptr) return;
  FreeBlock(item->text);
  FreeBlock(item);
}

void FreeLayerPayload(void* payload) { ReleaseLayerData(static_cast<LayerData*>(payload)); }
void FreeTaskPayload(void* payload) { DestroyScriptTask(static_cast<ScriptTask*>(payload)); }
void FreeSoundPayload(void* payload) { FreeBlock(payload); }
void FreeMenuPayload(void* payload) { DestroyMenuItem(static_cast<MenuItem*>(payload)); }

}  // namespace korvel
