// Channel streams over the device's voices: loading, seeking, half refills, pause and resume.
#include "sound/sound_stream.h"

#include "platform/sound_mixer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "resource/data_file_lookup.h"
#include "sound/sound_decoders.h"
#include "sound/sound_levels.h"
#include "sound/sound_stream_ops.h"

namespace korvel {

namespace {

constexpr uint32_t kWorkUnit = 4096;

struct SoundStream {
  std::vector<uint8_t> image;
  platform::PcmFormat format;
  platform::VoiceId voice = 0;
  std::vector<uint8_t> decode;  // half + 4096 bytes
  std::vector<uint8_t> carry;   // 4096 bytes
  uint32_t carry_fill = 0;
  uint32_t write_offset = 0;
  uint8_t next_half = 1;
  int64_t counted_bytes = 0;
  int64_t read_position = 0;  // Ogg: PCM sample; WAV: byte offset in the data
  int64_t silence = 0;
  uint64_t data_offset = 0, data_size = 0;
  std::vector<uint8_t> shadow;  // what the voice's ring holds, for the level queries
  // Ogg: one decoder over the image for the stream's life, opened by the first seek or fill.
  // Reopening it for every half second cost more than the decoding itself, inside the lock.
  OggDecoder ogg;
};

// The stream's open decoder, opened first when needed; null when the image is not Ogg Vorbis.
OggDecoder* OpenDecoder(SoundStream* s) {
  if (!s->ogg.IsOpen() && s->ogg.Open(s->image.data(), s->image.size()) < 0) return nullptr;
  return &s->ogg;
}

SoundStream* StreamOf(const SoundChannel* channel) {
  return static_cast<SoundStream*>(channel->stream);
}

uint8_t SilenceByte(const SoundStream& s) { return s.format.bits == 8 ? 0x80 : 0x00; }

int64_t AlignDown(int64_t bytes, uint32_t block) {
  return block > 0 ? bytes / block * block : bytes;
}

void FreeVoice(SoundStream* s) {
  if (s->voice != 0) platform::DestroyVoice(s->voice);
  s->voice = 0;
  s->decode.clear();
  s->decode.shrink_to_fit();
  s->carry.clear();
  s->carry.shrink_to_fit();
  s->carry_fill = 0;
}

int32_t OpenStream(SoundChannel* channel) {
  SoundStream* s = StreamOf(channel);
  platform::PcmFormat format;
  if (channel->kind == 1) {
    OggInfo info;
    const int32_t result = ProbeOggData(s->image.data(), s->image.size(), &info);
    if (result < 0) return result;
    format = info.format;
    channel->length_ms = info.length_ms;
    channel->stream_format = kStreamOgg;
  } else {
    WavData wav;
    const int32_t result = OpenWavData(s->image.data(), s->image.size(), &wav);
    if (result < 0) return result;
    format = wav.format;
    if (wav.stream_format == kStreamConvertedWav) s->image = std::move(wav.converted);
    s->data_offset = wav.data_offset;
    s->data_size = wav.data_size;
    channel->length_ms = wav.length_ms;
    channel->stream_format = wav.stream_format;
  }
  channel->loop_end_ms = static_cast<int32_t>(std::min<int64_t>(channel->length_ms, INT32_MAX));
  return CreateStreamBuffer(channel, format);
}

int32_t LoadData(SoundChannel* channel, int64_t id) {
  if (channel->stream == nullptr) channel->stream = new SoundStream();
  SoundStream* s = StreamOf(channel);
  if (!s->image.empty()) return -1010;
  s->ogg.Close();
  if (id == kSilentSoundId) {
    s->image = MakeSilentWav();
    channel->kind = 2;
  } else {
    ResourceLocator locator{};
    if (LoadDataFile(&locator, channel->file_name, false) <= 0 || locator.data == nullptr) {
      FreeLocatorData(&locator);
      return -1020;
    }
    s->image.assign(locator.data, locator.data + locator.size);
    FreeLocatorData(&locator);
  }
  return OpenStream(channel);
}

void Release(SoundChannel* channel) {
  SoundStream* s = StreamOf(channel);
  if (s == nullptr) return;
  FreeVoice(s);
  delete s;
  channel->stream = nullptr;
}

bool HasVoice(const SoundChannel* channel) { return ChannelVoice(channel) != 0; }

void SetVolume(SoundChannel* channel, int32_t millibels) {
  if (HasVoice(channel)) platform::SetVoiceVolume(ChannelVoice(channel), millibels);
}

void SetPan(SoundChannel* channel, int32_t millibels) {
  if (HasVoice(channel)) platform::SetVoicePan(ChannelVoice(channel), millibels);
}

void SetSpeed(SoundChannel* channel, int32_t speed) {
  if (!HasVoice(channel)) return;
  const uint32_t hz = std::clamp(SpeedToFrequency(channel->sample_rate, speed),
                                 platform::kMinVoiceFrequency, platform::kMaxVoiceFrequency);
  platform::SetVoiceFrequency(ChannelVoice(channel), hz);
}

bool PlayCursor(const SoundChannel* channel, uint32_t* cursor) {
  uint32_t write = 0;
  return HasVoice(channel) && platform::GetVoicePosition(ChannelVoice(channel), cursor, &write);
}

// Seeks, fills the first half and starts the voice looping.
int32_t Start(SoundChannel* channel) {
  SoundStream* s = StreamOf(channel);
  if (s == nullptr || s->voice == 0) return -1;
  s->next_half = 1;
  s->write_offset = 0;
  s->carry_fill = 0;
  s->silence = 0;
  channel->last_cursor = 0;
  platform::StopVoice(s->voice);
  platform::SetVoicePosition(s->voice, 0);
  const int32_t start = channel->start_ms < channel->loop_end_ms ? channel->start_ms : 0;
  int32_t result = SeekChannelMs(channel, start);
  if (result < 0) return result;
  channel->played_bytes = s->counted_bytes;
  result = FillNextHalf(channel);
  if (result < 0) return result;
  platform::SetVoiceVolume(s->voice, platform::kVolumeSilent);
  return platform::PlayVoice(s->voice, true) ? 0 : -1;
}

void Pause(SoundChannel* channel) {
  SoundStream* s = StreamOf(channel);
  if (s == nullptr) return;
  uint32_t cursor = 0;
  if (PlayCursor(channel, &cursor)) {
    int64_t advance = static_cast<int64_t>(cursor) - channel->last_cursor;
    if (advance < 0) advance += channel->buffer_size;
    channel->played_bytes += advance;
  }
  // The decoder runs ahead of the voice and may have wrapped (and counted down) at loop ends the
  // voice has not reached: the resume decodes those passes again, so their counts come back. A
  // positive count never reaches 0 by wrapping (the last pass ends in silence), so 0 stays 0.
  if (channel->loop_count > 0) {
    channel->loop_count += static_cast<int32_t>(channel->wraps_ahead);
  }
  channel->wraps_ahead = 0;
  channel->pending_loop_start_ms = channel->pending_loop_end_ms = 0;
  FreeVoice(s);
}

int32_t Resume(SoundChannel* channel) {
  SoundStream* s = StreamOf(channel);
  if (s == nullptr) return -430;
  const int64_t bps = channel->bytes_per_second;
  int64_t start = bps > 0 ? channel->played_bytes * 1000 / bps : 0;
  channel->played_bytes = 0;
  channel->last_cursor = 0;
  s->carry_fill = 0;
  s->silence = 0;
  s->next_half = 1;
  int32_t result = CreateStreamBuffer(channel, s->format);
  if (result < 0) return result;
  if (start >= channel->loop_end_ms || start < 0) start = 0;
  channel->start_ms = static_cast<int32_t>(start);
  result = SeekChannelMs(channel, start);
  if (result < 0) return result;
  channel->played_bytes = s->counted_bytes;
  s->write_offset = 0;
  result = FillNextHalf(channel);
  if (result < 0) return result;
  if (s->voice == 0) return -430;
  return platform::PlayVoice(s->voice, true) ? 0 : -440;
}

int32_t Level(const SoundChannel* channel, int32_t index) {
  const SoundStream* s = StreamOf(channel);
  if (s == nullptr || s->voice == 0) return -1;
  const uint16_t channels = s->format.channels, bits = s->format.bits;
  if ((channels != 1 && channels != 2) || (bits != 8 && bits != 16)) return -1;
  uint32_t cursor = 0;
  if (!PlayCursor(channel, &cursor)) return -1;
  const uint32_t block = s->format.block_align;
  cursor = cursor / block * block;
  if (cursor + block > s->shadow.size()) return -1;
  const uint8_t* frame = s->shadow.data() + cursor;
  const uint32_t which = channels == 2 && index == 1 ? 1 : 0;
  if (bits == 8) return std::abs(static_cast<int32_t>(frame[which]) - 128);
  const auto sample = static_cast<int16_t>(frame[which * 2] | (frame[which * 2 + 1] << 8));
  return std::abs(static_cast<int32_t>(sample));
}

// Up to `want` bytes of PCM from the stream into `out`: bytes, 0 at the end, or a negative error.
int32_t ReadPcm(SoundStream* s, OggDecoder* ogg, uint8_t* out, int64_t want) {
  if (want <= 0) return 0;
  if (ogg != nullptr) {
    const int32_t got = ogg->Read(out, static_cast<int32_t>(want));
    if (got == -3) return -90001;
    if (got == -137) return -90002;
    return got;
  }
  const int64_t left = static_cast<int64_t>(s->data_size) - s->read_position;
  const int64_t n = AlignDown(std::min(want, std::max<int64_t>(left, 0)), s->format.block_align);
  if (n <= 0) return 0;
  std::memcpy(out, s->image.data() + s->data_offset + s->read_position, static_cast<size_t>(n));
  s->read_position += n;
  return static_cast<int32_t>(n);
}

int32_t SeekStreamTo(SoundChannel* channel, OggDecoder* ogg, int64_t ms) {
  SoundStream* s = StreamOf(channel);
  const int64_t bps = channel->bytes_per_second;
  if (ogg != nullptr) {
    if (ogg->TimeSeek(static_cast<double>(ms) / 1000.0) < 0) return -2020;
    s->read_position = ogg->PcmTell();
  } else {
    int64_t position = AlignDown(std::max<int64_t>(ms, 0) * bps / 1000, s->format.block_align);
    if (position >= static_cast<int64_t>(s->data_size)) {
      position = std::max<int64_t>(static_cast<int64_t>(s->data_size) - s->format.block_align, 0);
    }
    s->read_position = position;
  }
  s->counted_bytes = ms * bps / 1000;
  return 0;
}

}  // namespace

platform::VoiceId ChannelVoice(const SoundChannel* channel) {
  const SoundStream* s = StreamOf(channel);
  return s != nullptr ? s->voice : 0;
}

int32_t CreateStreamBuffer(SoundChannel* channel, const platform::PcmFormat& format) {
  SoundStream* s = StreamOf(channel);
  if (s == nullptr) return -1060;
  // The file's header decides the format: refuse what no voice can play before the buffers are
  // sized from it (a rate of 2^31 Hz would ask for gigabytes).
  platform::PcmFormat pcm = format;
  pcm.tag = 1;
  if (!platform::VoiceFormatAccepted(pcm)) return -1120;
  s->format = pcm;
  channel->bytes_per_second = static_cast<int64_t>(format.block_align) * format.rate;
  channel->buffer_size = static_cast<uint32_t>(channel->bytes_per_second);
  channel->sample_rate = format.rate;
  channel->channels = format.channels;
  channel->bits = format.bits;
  if (!s->carry.empty()) return -1060;
  if (!s->decode.empty()) return -1080;
  s->carry.assign(kWorkUnit, 0);
  s->decode.assign(channel->buffer_size / 2 + kWorkUnit, SilenceByte(*s));
  s->shadow.assign(channel->buffer_size, SilenceByte(*s));
  platform::VoiceId voice = 0;
  if (platform::CreateVoice(s->format, &voice) < 0) return -1120;
  s->voice = voice;
  return 0;
}

int32_t SeekChannelMs(SoundChannel* channel, int64_t ms) {
  SoundStream* s = StreamOf(channel);
  if (s == nullptr) return -1;
  if (ms >= channel->length_ms) ms = channel->length_ms - 10;
  const int64_t bps = channel->bytes_per_second;
  if (ms < 0) {
    s->silence += AlignDown(-ms * bps / 1000, s->format.block_align);
  }
  if (channel->stream_format == kStreamOgg) {
    OggDecoder* ogg = OpenDecoder(s);
    if (ogg == nullptr) return -2010;
    const int32_t result = SeekStreamTo(channel, ogg, std::max<int64_t>(ms, 0));
    if (result < 0) return result;
  } else {
    SeekStreamTo(channel, nullptr, std::max<int64_t>(ms, 0));
  }
  s->counted_bytes = ms * bps / 1000;
  return 0;
}

int32_t FillNextHalf(SoundChannel* channel) {
  SoundStream* s = StreamOf(channel);
  if (s == nullptr || s->voice == 0 || s->decode.empty()) return -330;
  const uint32_t half = channel->buffer_size / 2;
  const int64_t bps = channel->bytes_per_second;
  const uint32_t block = std::max<uint16_t>(s->format.block_align, 1);
  OggDecoder* ogg = nullptr;
  if (channel->stream_format == kStreamOgg) {
    ogg = OpenDecoder(s);
    if (ogg == nullptr) return -3010;
    // The kept decoder stands where the last fill or seek left it; it seeks only when the stream
    // was placed elsewhere meanwhile.
    if (ogg->PcmTell() != s->read_position && ogg->PcmSeek(s->read_position) < 0) return -3020;
  }
  uint8_t* out = s->decode.data();
  std::memcpy(out, s->carry.data(), s->carry_fill);
  uint32_t filled = s->carry_fill;
  s->carry_fill = 0;
  bool wrapped_empty = false;  // the last wrap gave no data yet: another would spin
  while (filled < half) {
    if (s->silence > 0) {
      const int64_t n = std::min<int64_t>(s->silence, half - filled);
      std::memset(out + filled, SilenceByte(*s), static_cast<size_t>(n));
      filled += static_cast<uint32_t>(n);
      s->silence -= n;
      s->counted_bytes += n;
      continue;
    }
    const int64_t loop_end = AlignDown(channel->loop_end_ms * bps / 1000, block);
    int64_t want = kWorkUnit;
    if (s->counted_bytes + want >= loop_end) want = AlignDown(loop_end - s->counted_bytes, block);
    const int32_t got = ReadPcm(s, ogg, out + filled, want);
    if (got < 0) {
      FreeVoice(s);
      s->ogg.Close();
      return got;
    }
    if (got > 0) {
      filled += static_cast<uint32_t>(got);
      s->counted_bytes += got;
      wrapped_empty = false;
      continue;
    }
    if (channel->loop_count == 1 || wrapped_empty) {
      std::memset(out + filled, SilenceByte(*s), half - filled);
      filled = half;
      break;
    }
    ++channel->wraps_ahead;
    channel->loop_count = std::max(channel->loop_count - 1, 0);
    int32_t loop_start = channel->loop_start_ms;
    if (loop_start >= channel->loop_end_ms || loop_start < 0) loop_start = 0;
    channel->pending_loop_start_ms = loop_start;
    channel->pending_loop_end_ms = channel->loop_end_ms;
    const int32_t result = SeekStreamTo(channel, ogg, loop_start);
    if (result < 0) return result;
    wrapped_empty = true;
  }
  if (ogg != nullptr) s->read_position = ogg->PcmTell();
  if (filled > half) {
    s->carry_fill = filled - half;
    std::memcpy(s->carry.data(), out + half, s->carry_fill);
  }
  if (!platform::WriteVoice(s->voice, s->write_offset, out, half)) return -3030;
  std::memcpy(s->shadow.data() + s->write_offset, out, half);
  return 0;
}

int32_t RefillChannel(SoundChannel* channel) {
  SoundStream* s = StreamOf(channel);
  if (s == nullptr || s->voice == 0) return -330;
  uint32_t play = 0, write = 0;
  if (!platform::GetVoicePosition(s->voice, &play, &write)) return -340;
  const uint32_t half = channel->buffer_size / 2;
  if (s->next_half == 1 && write < half) {
    s->write_offset = half;
    s->next_half = 2;
  } else if (s->next_half == 2 && write > half) {
    s->write_offset = 0;
    s->next_half = 1;
  } else {
    return 0;
  }
  return FillNextHalf(channel);
}

void InstallSoundStreams(bool on) {
  if (!on) {
    g_sound_stream_ops = SoundStreamOps{};
    return;
  }
  g_sound_stream_ops.load = LoadData;
  g_sound_stream_ops.start = Start;
  g_sound_stream_ops.release = Release;
  g_sound_stream_ops.pause = Pause;
  g_sound_stream_ops.resume = Resume;
  g_sound_stream_ops.has_voice = HasVoice;
  g_sound_stream_ops.set_volume = SetVolume;
  g_sound_stream_ops.set_pan = SetPan;
  g_sound_stream_ops.set_speed = SetSpeed;
  g_sound_stream_ops.play_cursor = PlayCursor;
  g_sound_stream_ops.refill = RefillChannel;
  g_sound_stream_ops.level = Level;
}

}  // namespace korvel
