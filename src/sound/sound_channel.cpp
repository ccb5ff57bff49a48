// Sound channels as tree payloads: their release and the sound tree's owner.
#include "sound/sound_channel.h"

#include "core/alloc_zeroed.h"
#include "core/system_objects.h"

namespace korvel {

namespace {

int32_t BuildSoundTree(NamedTree* tree, int32_t, int32_t) {
  if (AllocRootPayload(tree, sizeof(SoundChannel)) == nullptr) return -1;
  return CreateTreeNode(tree->root, "S0", true, 1) != nullptr ? 0 : -1;
}

}  // namespace

void FreeSoundPayload(void* payload) { FreeBlock(payload); }

void RegisterSoundTree() { RegisterTreeOwner(&g_sound_tree, {BuildSoundTree, FreeSoundPayload}); }

}  // namespace korvel
