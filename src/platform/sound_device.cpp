// The sound device: the voice table, the SDL callback's mix and the headless recorder that mixes as
// far as the virtual clock has run. One device mutex guards the voices; the engine lock is never
// taken here.
#include "platform/sound_device.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/environment.h"
#include "platform/headless/headless_state.h"
#include "platform/platform.h"
#include "platform/sound_device_state.h"
#include "platform/sound_mixer.h"
#include "platform/sound_output.h"
#include "platform/wav_recorder.h"

namespace korvel::platform {

SoundDeviceState g_sound_device;

namespace {

void RebuildListLocked() {
  g_sound_device.list.clear();
  for (auto& [id, voice] : g_sound_device.voices) g_sound_device.list.push_back(voice.get());
}

void MixLocked(int16_t* out, uint32_t frames) {
  MixVoices(g_sound_device.list.data(), g_sound_device.list.size(), out, frames);
}

void SdlMix(int16_t* out, uint32_t frames) {
  std::lock_guard lock(g_sound_device.mutex);
  MixLocked(out, frames);
}

}  // namespace

void CatchUpSoundDeviceLocked() {
  if (!g_sound_device.open || !g_sound_device.headless) return;
  const uint64_t due = headless::ClockElapsed() * kMixRate / 1000;
  constexpr uint32_t kChunk = 4096;
  g_sound_device.scratch.resize(2 * kChunk);
  while (g_sound_device.mixed_frames < due) {
    const uint32_t n =
        static_cast<uint32_t>(std::min<uint64_t>(kChunk, due - g_sound_device.mixed_frames));
    MixLocked(g_sound_device.scratch.data(), n);
    g_sound_device.recorder.Append(g_sound_device.scratch.data(), n);
    g_sound_device.mixed_frames += n;
  }
}

namespace {

// The voice for `id` after catching up, or null.
MixVoice* FindLocked(VoiceId id) {
  CatchUpSoundDeviceLocked();
  auto it = g_sound_device.voices.find(id);
  return it == g_sound_device.voices.end() ? nullptr : it->second.get();
}

// Runs `fn` on the voice under the device mutex, after catching up; false for an unknown voice.
template <typename F>
bool WithVoice(VoiceId id, F&& fn) {
  std::lock_guard lock(g_sound_device.mutex);
  MixVoice* v = FindLocked(id);
  return v != nullptr && fn(v);
}

void CloseAtExit() { CloseSoundDevice(); }

}  // namespace

bool OpenSoundDevice() {
  {
    std::lock_guard lock(g_sound_device.mutex);
    if (g_sound_device.open) return true;
    g_sound_device.headless = IsHeadless();
    g_sound_device.mixed_frames = 0;
    if (g_sound_device.headless) {
      const std::string path = GetEnvironment("KORVEL_AUDIO_DUMP");
      if (!path.empty() && !g_sound_device.recorder.Open(path)) return false;
    }
  }
  // Outside the mutex: the SDL callback takes it.
  if (!g_sound_device.headless && !OpenSdlAudio(SdlMix)) return false;
  std::lock_guard lock(g_sound_device.mutex);
  g_sound_device.open = true;
  if (!g_sound_device.exit_hook) {
    // The dump's header is fixed also when the program ends without closing the device.
    g_sound_device.exit_hook = true;
    std::atexit(CloseAtExit);
  }
  return true;
}

void CloseSoundDevice() {
  bool sdl = false;
  {
    std::lock_guard lock(g_sound_device.mutex);
    if (!g_sound_device.open) return;
    CatchUpSoundDeviceLocked();
    sdl = !g_sound_device.headless;
  }
  // Outside the mutex: closing waits for a running callback, which takes it.
  if (sdl) CloseSdlAudio();
  std::lock_guard lock(g_sound_device.mutex);
  g_sound_device.recorder.Finish();
  g_sound_device.voices.clear();
  g_sound_device.list.clear();
  g_sound_device.open = false;
}

bool SoundDeviceOpen() {
  std::lock_guard lock(g_sound_device.mutex);
  return g_sound_device.open;
}

int32_t CreateVoice(const PcmFormat& format, VoiceId* voice) {
  std::lock_guard lock(g_sound_device.mutex);
  *voice = 0;
  if (!g_sound_device.open) return kVoiceCreateFailed;
  CatchUpSoundDeviceLocked();
  auto v = std::make_unique<MixVoice>();
  if (!InitMixVoice(v.get(), format)) return kVoiceCreateFailed;
  const VoiceId id = g_sound_device.next_id++;
  if (g_sound_device.next_id <= 0) g_sound_device.next_id = 1;
  g_sound_device.voices[id] = std::move(v);
  RebuildListLocked();
  *voice = id;
  return 0;
}

void DestroyVoice(VoiceId voice) {
  std::lock_guard lock(g_sound_device.mutex);
  CatchUpSoundDeviceLocked();
  if (g_sound_device.voices.erase(voice) != 0) RebuildListLocked();
}

uint32_t VoiceBufferBytes(VoiceId voice) {
  uint32_t bytes = 0;
  WithVoice(voice, [&](MixVoice* v) { bytes = static_cast<uint32_t>(v->ring.size()); return true; });
  return bytes;
}

bool WriteVoice(VoiceId voice, uint32_t offset, const void* data, uint32_t bytes) {
  return WithVoice(voice, [&](MixVoice* v) {
    const size_t size = v->ring.size();
    if (offset >= size || bytes > size) return false;
    const uint8_t* src = static_cast<const uint8_t*>(data);
    const size_t first = std::min<size_t>(bytes, size - offset);
    std::memcpy(v->ring.data() + offset, src, first);
    std::memcpy(v->ring.data(), src + first, bytes - first);
    return true;
  });
}

bool GetVoicePosition(VoiceId voice, uint32_t* play, uint32_t* write) {
  return WithVoice(voice, [&](MixVoice* v) {
    const uint32_t cursor = static_cast<uint32_t>(v->phase >> 32) * v->format.block_align;
    if (play != nullptr) *play = cursor;
    if (write != nullptr) *write = cursor;
    return true;
  });
}

bool SetVoicePosition(VoiceId voice, uint32_t play) {
  return WithVoice(voice, [&](MixVoice* v) {
    v->phase = static_cast<uint64_t>((play / v->format.block_align) % v->frames) << 32;
    return true;
  });
}

bool PlayVoice(VoiceId voice, bool looping) {
  return WithVoice(voice, [&](MixVoice* v) { v->playing = true; v->looping = looping; return true; });
}

bool StopVoice(VoiceId voice) {
  return WithVoice(voice, [](MixVoice* v) { v->playing = false; return true; });
}

bool SetVoiceVolume(VoiceId voice, int32_t millibels) {
  if (millibels < kVolumeSilent || millibels > 0) return false;
  return WithVoice(voice, [&](MixVoice* v) { v->volume_mb = millibels; UpdateVoiceGains(v); return true; });
}

bool SetVoicePan(VoiceId voice, int32_t millibels) {
  if (millibels < kPanLeft || millibels > kPanRight) return false;
  return WithVoice(voice, [&](MixVoice* v) { v->pan_mb = millibels; UpdateVoiceGains(v); return true; });
}

bool SetVoiceFrequency(VoiceId voice, uint32_t hz) {
  if (hz < kMinVoiceFrequency || hz > kMaxVoiceFrequency) return false;
  return WithVoice(voice, [&](MixVoice* v) { SetMixVoiceFrequency(v, hz); return true; });
}

}  // namespace korvel::platform
