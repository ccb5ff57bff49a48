// Movie files through FFmpeg's libraries: the first video and the first audio stream of a file,
// decoded in file order into video frames scaled to BGRA and audio as 16-bit stereo at the mix
// rate, with times counted from the file's start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace korvel::platform {

enum class MovieOpenStatus : uint8_t {
  kOk,
  kOpenFailed,    // the file cannot be opened or read as a container
  kDecodeFailed,  // no video or audio stream whose decoder opens
};

struct MovieStreamInfo {
  bool has_video = false;
  bool has_audio = false;
  int32_t width = 0, height = 0;  // the video's coded size
  int64_t duration_us = 0;        // the container's duration, 0 when unknown
};

// One decoded picture, scaled to the output size: rows of width × 4 bytes (blue, green, red,
// alpha 255).
struct MovieVideoFrame {
  int64_t time_us = 0;
  int64_t duration_us = 0;
  int32_t width = 0, height = 0;
  std::vector<uint8_t> bgra;
};

class MovieDecoder {
 public:
  MovieDecoder();
  ~MovieDecoder();
  MovieDecoder(const MovieDecoder&) = delete;
  MovieDecoder& operator=(const MovieDecoder&) = delete;

  MovieOpenStatus Open(const std::string& utf8_path);
  void Close();
  const MovieStreamInfo& Info() const;

  // The size video frames are scaled to (each side 1..16384; the coded size until set).
  void SetVideoOutputSize(int32_t width, int32_t height);

  enum class Item : uint8_t { kVideo, kAudio, kEnd };
  // Decodes on until one item is ready: a video frame into `video`, or audio appended to `audio`
  // (interleaved left, right) with the time of its first sample in `*audio_time_us`. kEnd at the
  // end of the file, after a read error, or when nothing is open; packets that fail to decode are
  // skipped.
  Item Next(MovieVideoFrame* video, std::vector<int16_t>* audio, int64_t* audio_time_us);

 private:
  // What asking one stream's decoder gave: an item ready, a frame that gave nothing (ask again),
  // or nothing until more input comes.
  enum class Received : uint8_t { kItem, kRetry, kNone };
  Received ReceiveVideo(MovieVideoFrame* video);
  Received ReceiveAudio(std::vector<int16_t>* audio, int64_t* audio_time_us);
  // The resampler's last samples once the audio decoder is drained; true when there were any.
  bool FlushAudio(std::vector<int16_t>* audio, int64_t* audio_time_us);
  // Feeds the next packet to its stream's decoder, or starts draining both at the end of input.
  void ReadPacket();

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace korvel::platform
