// The sound pass's walks over the channels that play: play-position tracking (loop ends and the
// release at a loop limit) and stream refills. Once the program quits they quiet every channel.
#pragma once

#include <cstdint>

#include "core/named_tree.h"
#include "sound/sound_channel.h"

namespace korvel {

int32_t TrackPlayPositions(NamedTreeNode* node);
// One channel's step of TrackPlayPositions: the play cursor's advance, and every loop end the voice
// has passed (the channel is released at its loop limit). -310 without a voice, -320 without a cursor.
int32_t TrackChannelPosition(SoundChannel* channel);
int32_t RefillStreams(NamedTreeNode* node);

}  // namespace korvel
