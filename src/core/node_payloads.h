// Creators of the payloads that hang on tree nodes: menu items, script tasks and layer records
// (shared between layer nodes through a reference count), and their release.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "layer/layer_data.h"
#include "script/script_task.h"
#include "sound/sound_channel.h"

namespace korvel {

inline constexpr int32_t kMenuTextCapacity = 261;

// The payload of a menu node.
struct MenuItem {
  char* text;        // owned 261-byte buffer; empty text = separator
  uint8_t present;   // 1 at creation; 0 leaves the item out of built menus
  uint16_t enabled;  // 256 at creation; 0 shows the item greyed
  uint8_t checked;
  int64_t value;  // low 32 bits: the menu command identifier
};

// Allocates a menu item with a copy of `text` (cut to 260 bytes), attaches it to the node and
// returns it. Null for a null node, or after reporting 100010 (fatal) when allocation fails.
MenuItem* CreateMenuItemObject(NamedTreeNode* node, const char* text);

// Allocates a task and its call-frame block, sets enabled and active to 1 and attaches it.
// Null for a null node, or after reporting 100010 (fatal).
ScriptTask* CreateScriptTask(NamedTreeNode* node);

// Allocates a layer record with its defaults (1 x 1, opacity and mask level 256, visible, slot 23
// 128, colour 0x808080, both strings empty) and attaches it with reference count 1. Returns 0, or 1
// after reporting 100010 (fatal); a partly built record is freed, not attached.
int32_t AllocLayerData(NamedTreeNode* node);

// AllocLayerData and the node's new payload; null for a null node or on failure. The node's former
// payload is not released.
LayerData* CreateLayerDataForNode(NamedTreeNode* node);

// Makes `record` the node's payload and counts the new holder; nothing when either is null.
int32_t ShareLayerData(NamedTreeNode* node, LayerData* record);

// ShareLayerData; returns the record, or null when the node is null.
LayerData* AttachNodePayload(NamedTreeNode* node, LayerData* record);

// A zero-filled layer record (no string buffers), or null after reporting 100010.
LayerData* AllocZeroedLayerData();

// Drops one holder of a layer record; at 0 frees its pixel, auxiliary and string buffers and the
// record. Null does nothing.
void ReleaseLayerData(LayerData* record);

// Frees a task, its call frames and their block.
void DestroyScriptTask(ScriptTask* task);
// Frees a menu item and its text.
void DestroyMenuItem(MenuItem* item);

// Payload release callbacks for DestroyTreeNode, one per tree.
void FreeLayerPayload(void* payload);
void FreeTaskPayload(void* payload);
void FreeSoundPayload(void* payload);
void FreeMenuPayload(void* payload);

}  // namespace korvel
