// Streaming a channel through its device voice: the file image, the half-second refills from the Ogg
// or WAV decoders, seeking, and pause and resume of the voice.
#pragma once

#include <cstdint>

#include "platform/sound_device.h"
#include "sound/sound_channel.h"

namespace korvel {

// Fills g_sound_stream_ops with the streaming functions (the device is open) or empties it.
void InstallSoundStreams(bool on);

// Creates the voice and the decode buffers for `format`: 0, -1060/-1080 when buffers are already
// there, -1120 when the device refuses the format.
int32_t CreateStreamBuffer(SoundChannel* channel, const platform::PcmFormat& format);
// Places the stream at `ms` (past the end: 10 ms before it; negative: that much silence first).
int32_t SeekChannelMs(SoundChannel* channel, int64_t ms);
// Decodes the next half second into the half at the write offset.
int32_t FillNextHalf(SoundChannel* channel);
// Writes the half the play cursor has left, if any.
int32_t RefillChannel(SoundChannel* channel);

// The voice of a channel (0 when none).
platform::VoiceId ChannelVoice(const SoundChannel* channel);

}  // namespace korvel
