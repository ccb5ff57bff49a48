// Sound file decoding for the streaming code: the silent sound, the WAV walker and its converters to
// integer PCM, and Ogg Vorbis through vorbisfile over a file image held in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sound_device.h"

namespace korvel {

// Stream formats of a channel.
inline constexpr uint8_t kStreamPcmWav = 0;
inline constexpr uint8_t kStreamOgg = 1;
inline constexpr uint8_t kStreamConvertedWav = 2;

// The order key that loads the silent sound instead of a file.
inline constexpr uint32_t kSilentSoundId = 999999999;
// The silent sound: a 4044-byte WAV, 8000 Hz mono 8-bit, 4000 bytes of silence (0x80).
std::vector<uint8_t> MakeSilentWav();

// ---- WAV ----------------------------------------------------------------------------------------

// Result codes of the WAV walker and converters.
inline constexpr int32_t kWavNotRiff = -10040;        // no "RIFF" header
inline constexpr int32_t kWavNotWave = -10050;        // RIFF form other than "WAVE"
inline constexpr int32_t kWavNoFormat = -10060;       // no "fmt " chunk
inline constexpr int32_t kWavNoData = -10080;         // no "data" chunk, or no whole block in it
inline constexpr int32_t kWavShortFormat = -10090;    // "fmt " chunk shorter than 14 bytes
inline constexpr int32_t kWavUnsupported = -10200;    // a format tag we cannot convert

struct WavData {
  platform::PcmFormat format;  // what the voice plays: always tag 1
  platform::PcmFormat source;  // the format chunk as the file has it
  uint8_t stream_format = kStreamPcmWav;
  // kStreamPcmWav: the samples are image[data_offset, data_offset + data_size).
  // kStreamConvertedWav: they are `converted` (data_offset 0, data_size converted.size()); the
  // caller replaces its image with it.
  uint64_t data_offset = 0;
  uint64_t data_size = 0;
  std::vector<uint8_t> converted;
  int64_t length_ms = 0;  // trunc(data size / (block align × rate) × 1000), in double
};

// Walks the RIFF chunks of `image` (each padded to an even size, sizes clamped to the bytes
// present; the data chunk also to whole blocks) and converts compressed data to PCM: MS ADPCM,
// IMA ADPCM, A-law and µ-law become 16-bit; float and 24/32-bit extensible become 16-bit. 0 or one
// of the codes above.
int32_t OpenWavData(const uint8_t* image, size_t size, WavData* out);

// trunc(bytes / (block_align × rate) × 1000) computed in double; 0 when the product is 0.
int64_t PcmLengthMs(uint64_t bytes, uint32_t block_align, uint32_t rate);

// ---- Ogg Vorbis ---------------------------------------------------------------------------------

inline constexpr int32_t kOggOpenFailed = -1030;
inline constexpr int32_t kOggNotSeekable = -1040;
inline constexpr int32_t kOggChained = -1045;
inline constexpr int32_t kOggNoInfo = -1050;

struct OggInfo {
  platform::PcmFormat format;  // 16-bit PCM with the stream's channels and rate
  int64_t length_ms = 0;       // trunc(total seconds × 1000)
};

// Opens the image, checks it and closes it again: 0, or kOggOpenFailed / kOggNotSeekable /
// kOggChained / kOggNoInfo.
int32_t ProbeOggData(const uint8_t* image, size_t size, OggInfo* out);

// One vorbisfile stream over a file image that the caller keeps alive while it is open. The read
// and seek callbacks never leave the image.
class OggDecoder {
 public:
  OggDecoder();
  ~OggDecoder();
  OggDecoder(const OggDecoder&) = delete;
  OggDecoder& operator=(const OggDecoder&) = delete;

  // ov_open_callbacks over the image: 0 or its negative result. Closes a stream already open.
  int32_t Open(const uint8_t* image, size_t size);
  void Close();  // ov_clear; nothing when closed
  bool IsOpen() const;

  bool Seekable();
  int32_t Streams();
  // Channels and rate of the whole stream; false when vorbisfile has no info.
  bool Info(uint16_t* channels, uint32_t* rate);
  double TimeTotal();  // seconds

  int32_t TimeSeek(double seconds);  // 0 or vorbisfile's negative result
  int32_t PcmSeek(int64_t sample);   // likewise
  int64_t PcmTell();

  // ov_read: little-endian signed 16-bit into `out`, at most `bytes`. Bytes produced, 0 at the
  // end, or vorbisfile's negative result (OV_HOLE -3, OV_EBADLINK -137, ...).
  int32_t Read(uint8_t* out, int32_t bytes);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace korvel
