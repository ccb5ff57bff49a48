// Ordered insertion, lookup by path and mode, names that share their 31-bit hash, missing groups,
// unlinking, and the four trees built at start-up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/alloc_zeroed.h"
#include "commands/menu_item.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/murmur_hash.h"
#include "core/named_tree.h"
#include "core/system_objects.h"
#include "engine_fixture.h"
#include "layer/layer_payload.h"
#include "platform/platform.h"
#include "script/task_payload.h"
#include "sound/sound_channel.h"

namespace korvel {
namespace {

class TreeLookupTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    RegisterLayerTree();
    RegisterTaskTree();
    RegisterSoundTree();
    RegisterMenuTree();
    root_ = AllocTreeNode("", true);
    ASSERT_NE(root_, nullptr);
  }
  void TearDown() override {
    DestroyTreeNode(root_, nullptr);
    DestroySystemObjects();
    SetRootLayerCreator(nullptr);
    ResetAllocFailureForTest();
    HeadlessEngine::TearDown();
  }

  static std::vector<std::string> ChildNames(const NamedTreeNode* parent) {
    std::vector<std::string> names;
    const NamedTreeNode* previous = nullptr;
    for (const NamedTreeNode* c = parent->first_child; c != nullptr; c = c->next_sibling) {
      EXPECT_EQ(c->prev_sibling, previous);
      EXPECT_EQ(c->parent, parent);
      names.emplace_back(c->name);
      previous = c;
    }
    EXPECT_EQ(parent->last_child, previous);
    EXPECT_EQ(parent->child_count, names.size());
    return names;
  }

  NamedTreeNode* root_ = nullptr;
};

TEST_F(TreeLookupTest, InsertionKeepsKeyOrderAndInsertionOrderAmongEquals) {
  const struct {
    const char* name;
    int64_t key;
  } inserts[] = {{"5a", 5}, {"3", 3}, {"5b", 5}, {"1", 1}, {"9", 9}, {"5c", 5}};
  for (const auto& in : inserts) ASSERT_NE(CreateTreeNode(root_, in.name, false, in.key), nullptr);
  EXPECT_EQ(ChildNames(root_), (std::vector<std::string>{"1", "3", "5a", "5b", "5c", "9"}));

  // Signed comparison: a negative key goes first, INT64_MAX last.
  ASSERT_NE(CreateTreeNode(root_, "min", false, INT64_MIN), nullptr);
  ASSERT_NE(CreateTreeNode(root_, "max", false, INT64_MAX), nullptr);
  const auto names = ChildNames(root_);
  EXPECT_EQ(names.front(), "min");
  EXPECT_EQ(names.back(), "max");

  // Moving a node to a new key: unlink, then insert behind the equal keys.
  NamedTreeNode* one = FindObjectByPath(root_, "1", kFindLeaf);
  ASSERT_NE(one, nullptr);
  UnlinkTreeNode(one);
  InsertChildNode(root_, one, 5);
  EXPECT_EQ(ChildNames(root_),
            (std::vector<std::string>{"min", "3", "5a", "5b", "5c", "1", "9", "max"}));
  EXPECT_EQ(one->order_key, 5);
}

TEST_F(TreeLookupTest, LeafAndGroupOfOneNameAreToldApartByMode) {
  NamedTreeNode* leaf = CreateTreeNode(root_, "n", false, 0);
  NamedTreeNode* group = CreateTreeNode(root_, "n", true, 1);
  ASSERT_NE(leaf, nullptr);
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(leaf->kind, kNodeLeaf);
  EXPECT_EQ(group->kind, kNodeGroup);
  EXPECT_EQ(group->hash, leaf->hash | kGroupHashBit);
  EXPECT_EQ(FindObjectByPath(root_, "n", kFindLeaf), leaf);
  EXPECT_EQ(FindObjectByPath(root_, "n", kFindGroup), group);
  EXPECT_EQ(FindObjectByPath(root_, "n", kFindAny), leaf);  // the first in child order
  // Segments ending with '/' pass through groups only.
  NamedTreeNode* below = CreateTreeNode(root_, "n/x", false, 0);
  ASSERT_NE(below, nullptr);
  EXPECT_EQ(below->parent, group);
  EXPECT_EQ(FindObjectByPath(root_, "n/x", kFindLeaf), below);
  EXPECT_EQ(FindChildByName(root_, "n", 1), group);
}

TEST_F(TreeLookupTest, NamesSharingTheLow31HashBitsAreToldApartByName) {
  const uint32_t a = MurmurHash2("L30894", 6);
  const uint32_t b = MurmurHash2("L39814", 6);
  ASSERT_NE(a, b);
  ASSERT_EQ(a & 0x7fffffffu, b & 0x7fffffffu);
  NamedTreeNode* first = CreateTreeNode(root_, "L30894", false, 0);
  NamedTreeNode* second = CreateTreeNode(root_, "L39814", false, 0);
  NamedTreeNode* first_group = CreateTreeNode(root_, "L30894", true, 0);
  NamedTreeNode* second_group = CreateTreeNode(root_, "L39814", true, 0);
  EXPECT_EQ(first->hash, second->hash);
  EXPECT_EQ(FindObjectByPath(root_, "L39814", kFindLeaf), second);
  EXPECT_EQ(FindObjectByPath(root_, "L30894", kFindLeaf), first);
  EXPECT_EQ(FindObjectByPath(root_, "L39814", kFindGroup), second_group);
  EXPECT_EQ(FindChildByName(root_, "L39814", 6), second_group);
  EXPECT_EQ(FindChildByName(root_, "L30894", 6), first_group);
}

TEST_F(TreeLookupTest, MissingGroupIsReportedMissingLastSegmentIsNot) {
  ASSERT_NE(CreateTreeNode(root_, "W0", true, 0), nullptr);
  ASSERT_NE(CreateTreeNode(root_, "W0/a", false, 0), nullptr);

  const uint32_t before = LastErrorReport().count;
  EXPECT_EQ(FindObjectByPath(root_, "W0/none", kFindLeaf), nullptr);
  EXPECT_EQ(LastErrorReport().count, before);
  EXPECT_FALSE(QuitRequested());

  EXPECT_EQ(FindObjectByPath(root_, "W0/none/x", kFindLeaf), nullptr);
  EXPECT_EQ(LastErrorReport().code, 100230);
  EXPECT_TRUE(QuitRequested());
  InitEngineState();

  // A leaf does not count as a group on the way.
  EXPECT_EQ(FindObjectByPath(root_, "W0/a/x", kFindLeaf), nullptr);
  EXPECT_EQ(LastErrorReport().code, 100230);
  // Creating under a missing group creates nothing.
  InitEngineState();
  EXPECT_EQ(CreateTreeNode(root_, "W9/b", false, 0), nullptr);
  EXPECT_EQ(root_->child_count, 1u);
}

TEST_F(TreeLookupTest, FindNodeByPathStopsAtTheParent) {
  NamedTreeNode* w0 = CreateTreeNode(root_, "W0", true, 0);
  NamedTreeNode* g = CreateTreeNode(root_, "W0/g", true, 0);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(FindNodeByPath("", root_), root_);
  EXPECT_EQ(FindNodeByPath("W0", root_), root_);
  EXPECT_EQ(FindNodeByPath("W0/anything", root_), w0);
  EXPECT_EQ(FindNodeByPath("W0/g/", root_), g);
  EXPECT_EQ(FindNodeByPath("W0/x/y", root_), nullptr);
  EXPECT_EQ(LastErrorReport().code, 100230);
}

TEST_F(TreeLookupTest, DoubleByteNamesWithSlashTrailBytes) {
  NamedTreeNode* w0 = CreateTreeNode(root_, "W0", true, 0);
  // "\x81/x" is one segment of three bytes.
  NamedTreeNode* node = CreateTreeNode(root_, "W0/\x81/x", false, 0);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->parent, w0);
  EXPECT_EQ(node->name_length, 3u);
  EXPECT_EQ(FindObjectByPath(root_, "W0/\x81/x", kFindLeaf), node);
  EXPECT_EQ(ParentPathLength("W0/\x81/x"), 3u);
}

TEST_F(TreeLookupTest, FailedAllocationCreatesNoNode) {
  for (int32_t successes : {0, 1}) {  // the node, then its name
    SCOPED_TRACE(successes);
    InitEngineState();
    SetAllocFailureForTest(successes);
    EXPECT_EQ(CreateTreeNode(root_, "x", false, 0), nullptr);
    ResetAllocFailureForTest();
    EXPECT_EQ(LastErrorReport().code, 100010);
    EXPECT_TRUE(QuitRequested());
    EXPECT_EQ(root_->child_count, 0u);
    EXPECT_EQ(root_->first_child, nullptr);
  }
}

TEST_F(TreeLookupTest, SystemObjectsBuildTheFourTrees) {
  NamedTreeNode* window_root = nullptr;
  ASSERT_EQ(CreateSystemObjects(800, 600, &window_root), 0);

  // Layers: base "W0", root record of window 0's size, "W0" found as a group.
  EXPECT_STREQ(g_layer_tree.base_path, "W0");
  const auto* root_layer = static_cast<LayerData*>(g_layer_tree.root->payload);
  ASSERT_NE(root_layer, nullptr);
  EXPECT_EQ(root_layer->width, 800);
  EXPECT_EQ(root_layer->height, 600);
  ASSERT_NE(window_root, nullptr);
  EXPECT_EQ(window_root, FindObjectByPath(g_layer_tree.root, "W0", kFindGroup));
  const auto* w0_layer = static_cast<LayerData*>(window_root->payload);
  ASSERT_NE(w0_layer, nullptr);
  EXPECT_EQ(w0_layer->width, 800);
  EXPECT_EQ(w0_layer->height, 600);
  EXPECT_EQ(w0_layer->reference_count, 1u);

  // Tasks: empty base; the empty-named group, then the leaf "SYSTEM", both key 100.
  EXPECT_STREQ(g_task_tree.base_path, "");
  EXPECT_EQ(ChildNames(g_task_tree.root), (std::vector<std::string>{"", "SYSTEM"}));
  const NamedTreeNode* group = g_task_tree.root->first_child;
  const NamedTreeNode* system = g_task_tree.root->last_child;
  EXPECT_EQ(group->kind, kNodeGroup);
  EXPECT_EQ(group->order_key, 100);
  EXPECT_EQ(system->kind, kNodeLeaf);
  EXPECT_EQ(system->order_key, 100);
  EXPECT_EQ(FindObjectByPath(g_task_tree.root, "SYSTEM", kFindLeaf), system);
  const auto* system_task = static_cast<ScriptTask*>(system->payload);
  const auto* group_task = static_cast<ScriptTask*>(group->payload);
  ASSERT_NE(system_task, nullptr);
  ASSERT_NE(group_task, nullptr);
  EXPECT_EQ(system_task->system_flag, 1);
  EXPECT_EQ(group_task->system_flag, 0);
  EXPECT_EQ(system_task->enabled, 1);
  EXPECT_EQ(system_task->active, 1);
  EXPECT_NE(system_task->call_frames, nullptr);

  // Sounds: "S0", key 1, with a default channel (full volume, enabled).
  EXPECT_STREQ(g_sound_tree.base_path, "S0");
  NamedTreeNode* s0 = FindObjectByPath(g_sound_tree.root, "S0", kFindGroup);
  ASSERT_NE(s0, nullptr);
  EXPECT_EQ(s0->order_key, 1);
  ASSERT_NE(s0->payload, nullptr);
  EXPECT_EQ(static_cast<SoundChannel*>(s0->payload)->volume, 256);
  EXPECT_EQ(static_cast<SoundChannel*>(s0->payload)->enabled, 1);
  EXPECT_NE(g_sound_tree.root->payload, nullptr);

  // Menus: "M0", key 0, with an item named "M0".
  EXPECT_STREQ(g_menu_tree.base_path, "M0");
  NamedTreeNode* m0 = FindObjectByPath(g_menu_tree.root, "M0", kFindGroup);
  ASSERT_NE(m0, nullptr);
  EXPECT_EQ(m0->order_key, 0);
  const auto* item = static_cast<MenuItem*>(m0->payload);
  ASSERT_NE(item, nullptr);
  EXPECT_STREQ(item->text, "M0");
  EXPECT_EQ(item->present, 1);
  EXPECT_EQ(item->enabled, 256);

  // Building again starts from fresh trees.
  ASSERT_EQ(CreateSystemObjects(640, 480, nullptr), 0);
  EXPECT_EQ(g_task_tree.root->child_count, 2u);
  EXPECT_EQ(static_cast<LayerData*>(g_layer_tree.root->payload)->width, 640);
}

int32_t g_creator_calls = 0;
int32_t RecordingCreator(NamedTreeNode* layer_root, const char* name, int32_t width,
                         int32_t height) {
  ++g_creator_calls;
  EXPECT_STREQ(name, "W0");
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);
  NamedTreeNode* node = CreateTreeNode(layer_root, name, true, 0);
  return node != nullptr && CreateLayerDataForNode(node) != nullptr ? 0 : -1;
}
int32_t FailingCreator(NamedTreeNode*, const char*, int32_t, int32_t) { return -1; }
int32_t LeafCreator(NamedTreeNode* layer_root, const char* name, int32_t, int32_t) {
  return CreateTreeNode(layer_root, name, false, 0) != nullptr ? 0 : -1;
}

TEST_F(TreeLookupTest, RootLayerComesFromTheLayerCodesCreator) {
  g_creator_calls = 0;
  SetRootLayerCreator(RecordingCreator);
  NamedTreeNode* window_root = nullptr;
  ASSERT_EQ(CreateSystemObjects(320, 240, &window_root), 0);
  EXPECT_EQ(g_creator_calls, 1);
  ASSERT_NE(window_root, nullptr);
  EXPECT_EQ(static_cast<LayerData*>(window_root->payload)->opacity, 256);

  SetRootLayerCreator(FailingCreator);
  EXPECT_EQ(CreateSystemObjects(320, 240, &window_root), -1);
  EXPECT_EQ(window_root, nullptr);
  // "W0" must be found again as a group.
  SetRootLayerCreator(LeafCreator);
  EXPECT_EQ(CreateSystemObjects(320, 240, &window_root), -1);
}

// Each tree's payloads go through the release its owner registered, once each, when the trees are
// destroyed; a tree without an owner is a bare root and start-up still succeeds.
std::vector<void*>* g_released = nullptr;
int32_t BuildTwoPayloads(NamedTree* tree, int32_t, int32_t) {
  tree->root->payload = AllocZeroed(8);
  NamedTreeNode* child = CreateTreeNode(tree->root, "c", false, 0);
  if (child == nullptr) return -1;
  child->payload = AllocZeroed(8);
  return 0;
}
void RecordAndFree(void* payload) {
  g_released->push_back(payload);
  FreeBlock(payload);
}

TEST_F(TreeLookupTest, TreesUseTheirOwnersBuildAndRelease) {
  std::vector<void*> released;
  g_released = &released;
  const TreeOwner sound_owner = g_sound_tree.owner;
  const TreeOwner menu_owner = g_menu_tree.owner;
  RegisterTreeOwner(&g_sound_tree, {BuildTwoPayloads, RecordAndFree});
  RegisterTreeOwner(&g_menu_tree, {nullptr, nullptr});

  ASSERT_EQ(CreateSystemObjects(64, 48, nullptr), 0);
  EXPECT_STREQ(g_sound_tree.base_path, "S0");
  const std::vector<void*> built = {g_sound_tree.root->first_child->payload,
                                    g_sound_tree.root->payload};
  EXPECT_STREQ(g_menu_tree.base_path, "M0");
  EXPECT_EQ(g_menu_tree.root->payload, nullptr);
  EXPECT_EQ(g_menu_tree.root->first_child, nullptr);
  DestroySystemObjects();
  EXPECT_EQ(released, built);  // children before their parent
  EXPECT_EQ(g_sound_tree.root, nullptr);
  EXPECT_EQ(g_sound_tree.owner.release, RecordAndFree);  // registrations outlive the nodes

  // Without a layer owner there is no "W0" to find, and no error.
  const TreeOwner layer_owner = g_layer_tree.owner;
  RegisterTreeOwner(&g_layer_tree, {nullptr, nullptr});
  NamedTreeNode* window_root = root_;
  EXPECT_EQ(CreateSystemObjects(64, 48, &window_root), 0);
  EXPECT_EQ(window_root, nullptr);
  EXPECT_EQ(g_layer_tree.root->first_child, nullptr);
  EXPECT_EQ(LastErrorReport().count, 0u);

  RegisterTreeOwner(&g_layer_tree, layer_owner);
  RegisterTreeOwner(&g_sound_tree, sound_owner);
  RegisterTreeOwner(&g_menu_tree, menu_owner);
  g_released = nullptr;
}

}  // namespace
}  // namespace korvel
