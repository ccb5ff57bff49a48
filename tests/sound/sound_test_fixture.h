// A headless engine with a sound tree of its own and sound off (no voices): requests, fades and
// pause walks run pass by pass on the virtual clock.
#pragma once

#include <cstdlib>
#include <mutex>
#include <string>

#include "core/engine_state.h"
#include "core/named_tree.h"
#include "engine_fixture.h"
#include "platform/platform.h"
#include "sound/sound_channel.h"
#include "sound/sound_command_ring.h"
#include "sound/sound_engine.h"

namespace korvel::test {

class SoundTreeTest : public HeadlessEngine {
 protected:
  // The virtual clock starts at `clock_start`.
  void StartAt(uint32_t clock_start) {
    HeadlessEngine::SetUp();
    platform::ShutdownPlatform();
    ::setenv("KORVEL_CLOCK_START", std::to_string(clock_start).c_str(), 1);
    ASSERT_TRUE(platform::InitPlatformWith(platform::BackendKind::kHeadless));
    ::unsetenv("KORVEL_CLOCK_START");
    InitSoundEngine();
    RegisterSoundTree();
    g_sound_tree.root = AllocTreeNode("", true);
    ASSERT_EQ(g_sound_tree.owner.build(&g_sound_tree, 0, 0), 0);
  }
  void SetUp() override { StartAt(0); }
  void TearDown() override {
    InitSoundEngine();
    DestroyTreeNode(g_sound_tree.root, FreeSoundPayload);
    g_sound_tree.root = nullptr;
    HeadlessEngine::TearDown();
  }

  // A sound node with a default channel under `parent` (the tree's root when null).
  NamedTreeNode* AddNode(const char* name, bool group = false, NamedTreeNode* parent = nullptr) {
    NamedTreeNode* node = AllocTreeNode(name, group);
    InsertChildNode(parent != nullptr ? parent : g_sound_tree.root, node, 1);
    CreateSoundChannel(node)->kind = 2;
    return node;
  }
  static SoundChannel& Ch(NamedTreeNode* node) { return *static_cast<SoundChannel*>(node->payload); }

  void Post(NamedTreeNode* node, uint8_t op, int32_t parameter = 0, const char* text = nullptr) {
    ASSERT_GE(PostSoundRequest(node, op, parameter, text), 0);
  }
  // One pass of the sound thread after `ms` milliseconds.
  int32_t Pass(uint32_t ms = 0) {
    if (ms != 0) platform::AdvanceClockForTest(ms);
    return RunSoundPass();
  }
  // Loads and starts the node with the given fade-in.
  void Play(NamedTreeNode* node, int32_t fade_ms) {
    Post(node, kSoundOpLoad, 0, "a.wav");
    Post(node, kSoundOpPlay, fade_ms);
    ASSERT_EQ(Pass(), 0);
  }
};

}  // namespace korvel::test
