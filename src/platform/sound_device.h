// The sound device: voices holding a one-second byte ring each, mixed by our own mixer (SDL audio
// callback) or, headless, by the recorder that follows the virtual clock.
#pragma once

#include <cstdint>

namespace korvel::platform {

// A PCM format as a wave file's format chunk states it.
struct PcmFormat {
  uint16_t tag = 1;  // 1: integer PCM; voices accept no other
  uint16_t channels = 0;
  uint32_t rate = 0;
  uint32_t bytes_per_second = 0;
  uint16_t block_align = 0;
  uint16_t bits = 0;
};

// CreateVoice's failure: format other than integer PCM of 8, 16, 24 or 32 bits with 1 or 2
// channels, a rate of 0, or a block align other than channels × bits / 8.
inline constexpr int32_t kVoiceCreateFailed = -1120;

// Volume and pan limits in hundredths of a decibel.
inline constexpr int32_t kVolumeSilent = -10000;
inline constexpr int32_t kPanLeft = -10000;   // right side silent
inline constexpr int32_t kPanRight = 10000;   // left side silent
// Voice frequencies accepted by SetVoiceFrequency.
inline constexpr uint32_t kMinVoiceFrequency = 100;
inline constexpr uint32_t kMaxVoiceFrequency = 200000;

// The device mixes to 16-bit stereo at this rate.
inline constexpr uint32_t kMixRate = 44100;

using VoiceId = int32_t;  // > 0; 0 is no voice

// Opens the device of the active backend: SDL opens one audio device; headless opens the recorder
// (writing KORVEL_AUDIO_DUMP when it is set). False: no device, sound stays off.
bool OpenSoundDevice();
// Stops mixing, destroys every voice and, headless, finishes the dump file. Safe to call again.
void CloseSoundDevice();
bool SoundDeviceOpen();

// Creates a stopped voice whose ring holds one second of `format` (rate × block align bytes,
// zero-filled; 0x80 for 8-bit). 0 and the voice, or kVoiceCreateFailed (also without a device).
int32_t CreateVoice(const PcmFormat& format, VoiceId* voice);
// Stops and frees the voice; an unknown id does nothing.
void DestroyVoice(VoiceId voice);
// The ring size in bytes (0 for an unknown voice).
uint32_t VoiceBufferBytes(VoiceId voice);

// Copies `bytes` into the ring from `offset` on, wrapping at the end (the two parts of a lock).
// False for an unknown voice, an offset outside the ring or more bytes than the ring holds.
bool WriteVoice(VoiceId voice, uint32_t offset, const void* data, uint32_t bytes);

// The play cursor (the next byte the mixer reads) and the write cursor (from where writing is
// safe; the mixer reads nothing ahead of the play cursor, so both are equal). False for an unknown
// voice.
bool GetVoicePosition(VoiceId voice, uint32_t* play, uint32_t* write);
// Moves the play cursor (rounded down to the block align, taken modulo the ring size).
bool SetVoicePosition(VoiceId voice, uint32_t play);
// Starts playing from the play cursor; looping wraps at the ring's end, otherwise the voice stops
// there.
bool PlayVoice(VoiceId voice, bool looping);
// Stops; the play cursor stays.
bool StopVoice(VoiceId voice);

// Volume in hundredths of a decibel, kVolumeSilent..0: gain 10^(mB / 2000), kVolumeSilent silent.
// Out of range: false, unchanged.
bool SetVoiceVolume(VoiceId voice, int32_t millibels);
// Pan kPanLeft..kPanRight: negative turns down the right side, positive the left side, by the
// same law as the volume; the near side stays at full level. Out of range: false, unchanged.
bool SetVoicePan(VoiceId voice, int32_t millibels);
// Playback rate in Hz, kMinVoiceFrequency..kMaxVoiceFrequency. Out of range: false, unchanged.
bool SetVoiceFrequency(VoiceId voice, uint32_t hz);

// Gain of a level in hundredths of a decibel: 10^(mB / 2000), 0 at or below kVolumeSilent.
double MillibelGain(int32_t millibels);

}  // namespace korvel::platform
