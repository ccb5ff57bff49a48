// Runs one request of the sound ring.
#pragma once

#include <cstdint>

#include "sound/sound_command_ring.h"

namespace korvel {

// 1 done, 0 run again on the next pass, negative: the error that ends the sound thread. A slot whose
// node has no channel, or an unknown opcode, is done at once.
int32_t RunSoundRequest(const SoundCommandSlot& slot);

}  // namespace korvel
