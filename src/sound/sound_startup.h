// Start-up and shutdown of sound: the device opens only when the settings turn sound on.
#pragma once

#include <cstdint>

namespace korvel {

// Opens the device when the settings' sound-on byte is set; sound is on only when it opened (the
// byte is cleared otherwise, so commands and the system variable read the same flag). 0 when on.
int32_t CreateSoundDevice();
// Waits for the sound thread, empties the stream table and closes the device.
void ReleaseSoundDevice();

}  // namespace korvel
