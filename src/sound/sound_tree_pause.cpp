// Pausing and resuming a node or a run of siblings with everything below.
#include "sound/sound_tree_pause.h"

#include "sound/sound_channel_ops.h"

namespace korvel {

void SetNodePaused(NamedTreeNode* node, int32_t paused) {
  if (paused != 0) {
    PauseChannel(node);
  } else {
    ResumeChannel(node);
  }
  if (node->first_child != nullptr) SetTreePaused(node->first_child, paused);
}

void SetTreePaused(NamedTreeNode* node, int32_t paused) {
  for (; node != nullptr; node = node->next_sibling) {
    if (paused != 0) {
      PauseChannel(node);
    } else {
      ResumeChannel(node);
    }
    if (node->first_child != nullptr) SetTreePaused(node->first_child, paused);
  }
}

}  // namespace korvel
