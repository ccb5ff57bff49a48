// Layer release (command 3): missing layers, groups released bottom-up, shared records, and the
// references to a released node that other records keep (window roots, the message target, the
// designated layer), cleared even when the record is shared.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "layer_test_env.h"

namespace korvel {
namespace {

using test::LayerEnv;

class LayerReleaseTest : public LayerEnv {};

TEST_F(LayerReleaseTest, MissingLayerIsSilent) {
  EXPECT_EQ(ApplyReleaseLayerCommand("nothing"), 0);
  EXPECT_EQ(ApplyReleaseLayerCommand("no/such/group/"), 0);
  EXPECT_EQ(Reports(), 0u);
}

TEST_F(LayerReleaseTest, ReleaseOrderIsBottomUp) {
  MakeGroup("g", 0, 0, 8, 8, 1);
  MakeGroup("g/h", 0, 0, 4, 4, 1);
  MakeImage("g/h/x", 0, 0, 1, 1, 1, 0);
  MakeImage("g/y", 0, 0, 1, 1, 2, 0);
  // Grandchildren before children, children before the group: the layer tree's release sees each
  // record as its last holder goes.
  static std::vector<const LayerData*>* freed = nullptr;
  std::vector<const LayerData*> order;
  freed = &order;
  const LayerData* x = Layer("g/h/x");
  const LayerData* h = Layer("g/h", true);
  const LayerData* y = Layer("g/y");
  const LayerData* g = Layer("g", true);
  const PayloadRelease installed = g_layer_tree.owner.release;
  g_layer_tree.owner.release = [](void* payload) {
    freed->push_back(static_cast<const LayerData*>(payload));
    FreeLayerPayload(payload);
  };
  ASSERT_EQ(ApplyReleaseLayerCommand("g/"), 0);
  g_layer_tree.owner.release = installed;
  EXPECT_EQ(order, (std::vector<const LayerData*>{x, h, y, g}));
}

TEST_F(LayerReleaseTest, SharedRecordKeepsItsPixelsUntilTheLastHolder) {
  MakeImage("a", 0, 0, 4, 4, 1, 0xFF123456);
  LayerCommandArgs share;
  share.Text(kLayerPath, "b").Text(kLayerShare, "a").Set(kLayerOrder, 2);
  ASSERT_EQ(ApplyLayerCommand(share), 0);
  LayerData* record = Layer("a");
  ASSERT_EQ(record->reference_count, 2u);
  ASSERT_EQ(ApplyReleaseLayerCommand("a"), 0);
  ASSERT_EQ(Layer("b"), record);
  EXPECT_EQ(record->reference_count, 1u);
  EXPECT_EQ(PixelAt(record, 3, 3), 0xFF123456u);
  ASSERT_EQ(ApplyReleaseLayerCommand("b"), 0);  // frees the record (LeakSanitizer checks)
  EXPECT_EQ(W0()->first_child, nullptr);
}

TEST_F(LayerReleaseTest, ReleasingAWindowRootLeavesTheWindowWithout) {
  Frame();
  ASSERT_EQ(ApplyReleaseLayerCommand(":W0/"), 0);
  EXPECT_EQ(g_windows[0]->root_layer, nullptr);
  EXPECT_EQ(RenderWindowIfDirty(0), 0);
}

// The references go by node, not by the record's bytes: a shared record's bytes may describe
// another node, and a stale pointer must never survive its node.
TEST_F(LayerReleaseTest, EveryReferenceToTheNodeIsClearedEvenWhenShared) {
  MakeImage("a", 0, 0, 2, 2, 1, 0);
  LayerCommandArgs share;
  share.Text(kLayerPath, "b").Text(kLayerShare, "a").Set(kLayerOrder, 2);
  ASSERT_EQ(ApplyLayerCommand(share), 0);
  NamedTreeNode* b = Node("b");
  LayerData* record = LayerOf(b);
  g_windows[1]->root_layer = b;
  g_windows[2]->root_layer = Node("a");
  record->is_window_root = 1;
  SetMessageTargetLayer(b);
  Set("b", kLayerDesignated, 1);
  static int released = 0;
  released = 0;
  g_layer_state.message_target_released = [] { ++released; };
  ASSERT_EQ(ApplyReleaseLayerCommand("b"), 0);
  EXPECT_EQ(g_windows[1]->root_layer, nullptr);
  EXPECT_EQ(g_windows[2]->root_layer, Node("a"));
  EXPECT_EQ(g_layer_state.message_target, nullptr);
  EXPECT_EQ(g_layer_state.designated_layer, nullptr);
  EXPECT_EQ(released, 1);
  // The record lives on for "a", which is still window 2's root; it is no message target now.
  EXPECT_EQ(record->is_window_root, 1);
  EXPECT_EQ(record->is_message_target, 0);
  ASSERT_EQ(ApplyReleaseLayerCommand("a"), 0);
  EXPECT_EQ(g_windows[2]->root_layer, nullptr);
}

TEST_F(LayerReleaseTest, ReleaseMarksTheAreaItCovered) {
  MakeImage("a", 0, 0, 4, 4, 1, 0xFF00FF00);
  Frame();
  EXPECT_EQ(PixelAt(Root(), 2, 2), 0xFF00FF00u);
  ASSERT_EQ(ApplyReleaseLayerCommand("a"), 0);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(PixelAt(Root(), 2, 2), 0u);
}

}  // namespace
}  // namespace korvel
