// Ogg Vorbis through vorbisfile over a file image in memory: callbacks that never leave the image.
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "sound/sound_decoders.h"

namespace korvel {
namespace {

struct MemorySource {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t position = 0;
};

size_t ReadImage(void* out, size_t size, size_t count, void* source) {
  auto* s = static_cast<MemorySource*>(source);
  if (size == 0) return 0;
  const size_t left = s->size - s->position;
  const size_t items = std::min(count, left / size);
  const size_t bytes = items * size;
  if (bytes == 0) return 0;
  std::memcpy(out, s->data + s->position, bytes);
  s->position += bytes;
  return items;
}

// Positions outside the image are refused; the position stays.
int SeekImage(void* source, ogg_int64_t offset, int whence) {
  auto* s = static_cast<MemorySource*>(source);
  ogg_int64_t base;
  switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<ogg_int64_t>(s->position); break;
    case SEEK_END: base = static_cast<ogg_int64_t>(s->size); break;
    default: return -1;
  }
  const ogg_int64_t size = static_cast<ogg_int64_t>(s->size);
  if (offset < -size - base || offset > size) return -1;
  const ogg_int64_t target = base + offset;
  if (target < 0 || target > size) return -1;
  s->position = static_cast<size_t>(target);
  return 0;
}

int CloseImage(void* /*source*/) { return 1; }

long TellImage(void* source) { return static_cast<long>(static_cast<MemorySource*>(source)->position); }

constexpr ov_callbacks kCallbacks = {ReadImage, SeekImage, CloseImage, TellImage};

}  // namespace

struct OggDecoder::State {
  MemorySource source;
  OggVorbis_File file{};
  bool open = false;
};

OggDecoder::OggDecoder() : state_(std::make_unique<State>()) {}
OggDecoder::~OggDecoder() { Close(); }

int32_t OggDecoder::Open(const uint8_t* image, size_t size) {
  Close();
  state_->source = MemorySource{image, image == nullptr ? 0 : size, 0};
  const int r = ov_open_callbacks(&state_->source, &state_->file, nullptr, 0, kCallbacks);
  if (r < 0) return r;
  state_->open = true;
  return 0;
}

void OggDecoder::Close() {
  if (state_->open) ov_clear(&state_->file);
  state_->open = false;
}

bool OggDecoder::IsOpen() const { return state_->open; }

bool OggDecoder::Seekable() { return state_->open && ov_seekable(&state_->file) != 0; }

int32_t OggDecoder::Streams() { return state_->open ? static_cast<int32_t>(ov_streams(&state_->file)) : 0; }

bool OggDecoder::Info(uint16_t* channels, uint32_t* rate) {
  if (!state_->open) return false;
  const vorbis_info* info = ov_info(&state_->file, -1);
  if (info == nullptr || info->channels < 1 || info->channels > 0xFFFF || info->rate <= 0) return false;
  *channels = static_cast<uint16_t>(info->channels);
  *rate = static_cast<uint32_t>(info->rate);
  return true;
}

double OggDecoder::TimeTotal() { return state_->open ? ov_time_total(&state_->file, -1) : 0.0; }

int32_t OggDecoder::TimeSeek(double seconds) {
  return state_->open ? ov_time_seek(&state_->file, seconds) : OV_EINVAL;
}

int32_t OggDecoder::PcmSeek(int64_t sample) {
  return state_->open ? ov_pcm_seek(&state_->file, sample) : OV_EINVAL;
}

int64_t OggDecoder::PcmTell() { return state_->open ? ov_pcm_tell(&state_->file) : OV_EINVAL; }

int32_t OggDecoder::Read(uint8_t* out, int32_t bytes) {
  if (!state_->open) return OV_EINVAL;
  int link = 0;
  return static_cast<int32_t>(
      ov_read(&state_->file, reinterpret_cast<char*>(out), bytes, 0, 2, 1, &link));
}

int32_t ProbeOggData(const uint8_t* image, size_t size, OggInfo* out) {
  *out = OggInfo{};
  OggDecoder decoder;
  if (decoder.Open(image, size) < 0) return kOggOpenFailed;
  if (!decoder.Seekable()) return kOggNotSeekable;
  if (decoder.Streams() != 1) return kOggChained;
  uint16_t channels = 0;
  uint32_t rate = 0;
  if (!decoder.Info(&channels, &rate)) return kOggNoInfo;
  out->length_ms = static_cast<int64_t>(std::trunc(decoder.TimeTotal() * 1000.0));
  out->format.tag = 1;
  out->format.channels = channels;
  out->format.rate = rate;
  out->format.bits = 16;
  out->format.block_align = static_cast<uint16_t>(channels * 2);
  out->format.bytes_per_second = rate * channels * 2u;
  return 0;
}

}  // namespace korvel
