// Sound channels as tree payloads: their release and the sound tree's owner.
#include "sound/sound_channel.h"

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "core/system_objects.h"
#include "sound/sound_stream_ops.h"

namespace korvel {

SoundStreamOps g_sound_stream_ops;

namespace {

int32_t BuildSoundTree(NamedTree* tree, int32_t, int32_t) {
  if (AllocRootPayload(tree, sizeof(SoundChannel)) == nullptr) return -1;
  NamedTreeNode* group = CreateTreeNode(tree->root, "S0", true, 1);
  if (group == nullptr) return -1;
  return CreateSoundChannel(group) != nullptr ? 0 : -1;
}

}  // namespace

SoundChannel* CreateSoundChannel(NamedTreeNode* node) {
  auto* channel = static_cast<SoundChannel*>(AllocZeroed(sizeof(SoundChannel)));
  if (channel == nullptr) {
    ReportErrorPlain(100010, true);
    return nullptr;
  }
  channel->volume = channel->fade_to = channel->previous_target = 256;
  channel->pan = channel->speed = 256;
  channel->enabled = 1;
  node->payload = channel;
  return channel;
}

// Streams are released before their nodes go (stop request, end of the sound thread).
void FreeSoundPayload(void* payload) { FreeBlock(payload); }

void RegisterSoundTree() { RegisterTreeOwner(&g_sound_tree, {BuildSoundTree, FreeSoundPayload}); }

}  // namespace korvel
