// Payload records: layer defaults and sharing by reference count, tasks with their call-frame block,
// menu items, and allocation failures that leave nothing attached.
#include <gtest/gtest.h>

#include <string>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/named_tree.h"
#include "commands/menu_item.h"
#include "engine_fixture.h"
#include "layer/layer_payload.h"
#include "script/task_payload.h"

namespace korvel {
namespace {

class TreePayloadsTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    a_ = AllocTreeNode("a", false);
    b_ = AllocTreeNode("b", false);
  }
  void TearDown() override {
    ResetAllocFailureForTest();
    FreeLayerOf(a_);
    FreeLayerOf(b_);
    DestroyTreeNode(a_, nullptr);
    DestroyTreeNode(b_, nullptr);
    HeadlessEngine::TearDown();
  }
  static void FreeLayerOf(NamedTreeNode* node) {
    if (node != nullptr && node->payload != nullptr) {
      ReleaseLayerData(static_cast<LayerData*>(node->payload));
      node->payload = nullptr;
    }
  }

  NamedTreeNode* a_ = nullptr;
  NamedTreeNode* b_ = nullptr;
};

TEST_F(TreePayloadsTest, FreshLayerRecordHasItsDefaults) {
  ASSERT_EQ(AllocLayerData(a_), 0);
  const auto* layer = static_cast<const LayerData*>(a_->payload);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(layer->width, 1);
  EXPECT_EQ(layer->height, 1);
  EXPECT_EQ(layer->opacity, 256);
  EXPECT_EQ(layer->mask_level, 256);
  EXPECT_EQ(layer->visible, 1);
  EXPECT_EQ(layer->has_alpha, 0);
  EXPECT_EQ(layer->reference_count, 1u);
  EXPECT_EQ(layer->value_slot23, 128u);
  EXPECT_EQ(layer->colour_slot24, 0x808080u);
  ASSERT_NE(layer->mask_path, nullptr);
  ASSERT_NE(layer->second_string, nullptr);
  EXPECT_STREQ(layer->mask_path, "");
  EXPECT_STREQ(layer->second_string, "");
  EXPECT_EQ(layer->x, 0);
  EXPECT_EQ(layer->blend_mode, 0);
  EXPECT_EQ(layer->pixels, nullptr);
}

TEST_F(TreePayloadsTest, SharingCountsHoldersAndReleaseFreesAtZero) {
  LayerData* layer = CreateLayerDataForNode(a_);
  ASSERT_NE(layer, nullptr);
  EXPECT_EQ(AttachNodePayload(b_, layer), layer);
  EXPECT_EQ(b_->payload, layer);
  EXPECT_EQ(layer->reference_count, 2u);

  // Null record or node: nothing happens.
  EXPECT_EQ(ShareLayerData(b_, nullptr), 0);
  EXPECT_EQ(ShareLayerData(nullptr, layer), 0);
  EXPECT_EQ(AttachNodePayload(nullptr, layer), nullptr);
  EXPECT_EQ(b_->payload, layer);
  EXPECT_EQ(layer->reference_count, 2u);

  // One holder goes: the record stays, with its buffers.
  layer->pixels = static_cast<uint8_t*>(AllocZeroed(16));
  ReleaseLayerData(layer);
  a_->payload = nullptr;
  EXPECT_EQ(layer->reference_count, 1u);
  EXPECT_NE(layer->pixels, nullptr);  // ASan would flag a freed record here
}

TEST_F(TreePayloadsTest, CreatingForANodeWithAPayloadReplacesThePointer) {
  LayerData* first = CreateLayerDataForNode(a_);
  LayerData* second = CreateLayerDataForNode(a_);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(a_->payload, second);
  EXPECT_EQ(first->reference_count, 1u);  // not released by the call
  ReleaseLayerData(first);
  EXPECT_EQ(CreateLayerDataForNode(nullptr), nullptr);
}

TEST_F(TreePayloadsTest, FailedAllocationsLeaveTheNodeWithoutPayload) {
  // Layer: the record, then each string buffer.
  for (int32_t successes : {0, 1, 2}) {
    SCOPED_TRACE(successes);
    InitEngineState();
    SetAllocFailureForTest(successes);
    EXPECT_EQ(AllocLayerData(a_), 1);
    ResetAllocFailureForTest();
    EXPECT_EQ(a_->payload, nullptr);
    EXPECT_EQ(LastErrorReport().code, 100010);
    EXPECT_TRUE(QuitRequested());
  }
  // Task: the record, then its call-frame block.
  for (int32_t successes : {0, 1}) {
    InitEngineState();
    SetAllocFailureForTest(successes);
    EXPECT_EQ(CreateScriptTask(a_), nullptr);
    ResetAllocFailureForTest();
    EXPECT_EQ(a_->payload, nullptr);
    EXPECT_EQ(LastErrorReport().code, 100010);
  }
  // Menu item: the record, then its text buffer.
  for (int32_t successes : {0, 1}) {
    InitEngineState();
    SetAllocFailureForTest(successes);
    EXPECT_EQ(CreateMenuItemObject(a_, "x"), nullptr);
    ResetAllocFailureForTest();
    EXPECT_EQ(a_->payload, nullptr);
    EXPECT_EQ(LastErrorReport().code, 100010);
  }
}

TEST_F(TreePayloadsTest, TaskAndMenuItemCreation) {
  EXPECT_EQ(CreateScriptTask(nullptr), nullptr);
  ScriptTask* task = CreateScriptTask(a_);
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(a_->payload, task);
  EXPECT_EQ(task->enabled, 1);
  EXPECT_EQ(task->active, 1);
  EXPECT_EQ(task->system_flag, 0);
  EXPECT_EQ(task->call_depth, 0);
  ASSERT_NE(task->call_frames, nullptr);
  for (int32_t i = 0; i < kTaskStackDepth; ++i) EXPECT_EQ(task->call_frames[i], nullptr);
  // Frames made on use are freed with the task.
  task->call_frames[63] = static_cast<CallFrame*>(AllocZeroed(sizeof(CallFrame)));
  DestroyScriptTask(task);
  a_->payload = nullptr;

  EXPECT_EQ(CreateMenuItemObject(nullptr, "x"), nullptr);
  const std::string long_text(400, 'm');
  MenuItem* item = CreateMenuItemObject(b_, long_text.c_str());
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->present, 1);
  EXPECT_EQ(item->enabled, 256);
  EXPECT_EQ(item->checked, 0);
  EXPECT_EQ(item->value, 0);
  EXPECT_EQ(std::string(item->text), long_text.substr(0, kMenuTextCapacity - 1));
  DestroyMenuItem(item);
  b_->payload = nullptr;
}

}  // namespace
}  // namespace korvel
