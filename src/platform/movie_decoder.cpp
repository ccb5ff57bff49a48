// Movie decoding on libavformat, libavcodec, libswscale and libswresample.
#include "platform/movie_decoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <mutex>

#include "platform/movie_streams.h"
#include "platform/sound_device.h"

namespace korvel::platform {

namespace {

constexpr int32_t kMaxOutputSide = 16384;

void QuietLibraries() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

int64_t ToMicroseconds(int64_t ts, AVRational base) {
  return av_rescale_q(ts, base, AVRational{1, 1000000});
}

}  // namespace

AVCodecContext* OpenMovieStreamDecoder(AVFormatContext* fmt, int index) {
  if (index < 0) return nullptr;
  const AVCodec* codec = avcodec_find_decoder(fmt->streams[index]->codecpar->codec_id);
  if (codec == nullptr) return nullptr;
  AVCodecContext* ctx = avcodec_alloc_context3(codec);
  if (ctx == nullptr) return nullptr;
  if (avcodec_parameters_to_context(ctx, fmt->streams[index]->codecpar) < 0) {
    avcodec_free_context(&ctx);
    return nullptr;
  }
  // One thread: the decode thread is ours, and the library's own workers would hide their
  // synchronisation from the thread checker.
  ctx->thread_count = 1;
  if (avcodec_open2(ctx, codec, nullptr) < 0) {
    avcodec_free_context(&ctx);
    return nullptr;
  }
  return ctx;
}

AVFormatContext* OpenMovieContainer(const std::string& utf8_path) {
  QuietLibraries();
  AVFormatContext* fmt = nullptr;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  // "file:" keeps a name with a colon from being taken for a protocol.
  const std::string url = "file:" + utf8_path;
  const int r = avformat_open_input(&fmt, url.c_str(), nullptr, &options);
  av_dict_free(&options);
  if (r < 0) return nullptr;
  if (avformat_find_stream_info(fmt, nullptr) < 0) {
    avformat_close_input(&fmt);
    return nullptr;
  }
  return fmt;
}

struct MovieDecoder::State {
  AVFormatContext* fmt = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  int video_index = -1, audio_index = -1;
  SwsContext* sws = nullptr;
  SwrContext* swr = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;
  MovieStreamInfo info;
  int64_t start_us = 0;
  int64_t frame_duration_us = 100000;
  int64_t next_video_us = 0, next_audio_us = 0;
  int32_t out_width = 0, out_height = 0;
  bool input_done = false, video_done = true, audio_done = true, swr_flushed = false;
};

MovieDecoder::MovieDecoder() : state_(std::make_unique<State>()) {}
MovieDecoder::~MovieDecoder() { Close(); }

const MovieStreamInfo& MovieDecoder::Info() const { return state_->info; }

void MovieDecoder::Close() {
  State& s = *state_;
  sws_freeContext(s.sws);
  swr_free(&s.swr);
  av_packet_free(&s.packet);
  av_frame_free(&s.frame);
  avcodec_free_context(&s.video);
  avcodec_free_context(&s.audio);
  if (s.fmt != nullptr) avformat_close_input(&s.fmt);
  s = State{};
}

MovieOpenStatus MovieDecoder::Open(const std::string& utf8_path) {
  Close();
  State& s = *state_;
  s.fmt = OpenMovieContainer(utf8_path);
  if (s.fmt == nullptr) return MovieOpenStatus::kOpenFailed;
  s.video_index = av_find_best_stream(s.fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  s.audio_index = av_find_best_stream(s.fmt, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  s.video = OpenMovieStreamDecoder(s.fmt, s.video_index);
  s.audio = OpenMovieStreamDecoder(s.fmt, s.audio_index);
  if (s.video != nullptr && (s.video->width < 1 || s.video->height < 1 ||
                             s.video->width > kMaxOutputSide || s.video->height > kMaxOutputSide)) {
    avcodec_free_context(&s.video);
  }
  if (s.audio != nullptr) {
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    if (s.audio->sample_rate <= 0 ||
        swr_alloc_set_opts2(&s.swr, &stereo, AV_SAMPLE_FMT_S16, static_cast<int>(kMixRate),
                            &s.audio->ch_layout, s.audio->sample_fmt, s.audio->sample_rate, 0,
                            nullptr) < 0 ||
        swr_init(s.swr) < 0) {
      swr_free(&s.swr);
      avcodec_free_context(&s.audio);
    }
  }
  s.packet = av_packet_alloc();
  s.frame = av_frame_alloc();
  if ((s.video == nullptr && s.audio == nullptr) || s.packet == nullptr || s.frame == nullptr) {
    Close();
    return MovieOpenStatus::kDecodeFailed;
  }
  s.start_us = s.fmt->start_time != AV_NOPTS_VALUE ? s.fmt->start_time : 0;
  s.info.has_video = s.video != nullptr;
  s.info.has_audio = s.audio != nullptr;
  s.video_done = s.video == nullptr;
  s.audio_done = s.audio == nullptr;
  if (s.video != nullptr) {
    s.info.width = s.out_width = s.video->width;
    s.info.height = s.out_height = s.video->height;
    const AVRational rate = av_guess_frame_rate(s.fmt, s.fmt->streams[s.video_index], nullptr);
    if (rate.num > 0 && rate.den > 0) {
      s.frame_duration_us = std::max<int64_t>(1, av_rescale(1000000, rate.den, rate.num));
    }
  }
  s.info.duration_us = s.fmt->duration != AV_NOPTS_VALUE ? std::max<int64_t>(0, s.fmt->duration) : 0;
  return MovieOpenStatus::kOk;
}

void MovieDecoder::SetVideoOutputSize(int32_t width, int32_t height) {
  state_->out_width = std::clamp(width, 1, kMaxOutputSide);
  state_->out_height = std::clamp(height, 1, kMaxOutputSide);
}

namespace {

// Converts `count` input samples (none: the resampler's remainder) and appends what comes out as
// interleaved 16-bit stereo; the number of sample frames appended.
int AppendResampled(SwrContext* swr, const uint8_t** in, int count, std::vector<int16_t>* audio) {
  const int capacity = swr_get_out_samples(swr, count);
  if (capacity <= 0) return 0;
  const size_t old = audio->size();
  audio->resize(old + static_cast<size_t>(capacity) * 2);
  uint8_t* out = reinterpret_cast<uint8_t*>(audio->data() + old);
  const int got = swr_convert(swr, &out, capacity, in, count);
  audio->resize(old + static_cast<size_t>(std::max(got, 0)) * 2);
  return got;
}

}  // namespace

MovieDecoder::Received MovieDecoder::ReceiveVideo(MovieVideoFrame* video) {
  State& s = *state_;
  const int r = avcodec_receive_frame(s.video, s.frame);
  if (r != 0) {
    // Once the input is done a drained decoder says end of file; wanting more input then means
    // the flush did not take, and nothing more will come.
    if (r != AVERROR(EAGAIN) || s.input_done) s.video_done = true;
    return Received::kNone;
  }
  const int64_t pts = s.frame->best_effort_timestamp;
  const AVRational base = s.fmt->streams[s.video_index]->time_base;
  video->time_us =
      pts != AV_NOPTS_VALUE ? ToMicroseconds(pts, base) - s.start_us : s.next_video_us;
  video->duration_us = s.frame_duration_us;
  s.next_video_us = video->time_us + s.frame_duration_us;
  s.sws = sws_getCachedContext(s.sws, s.frame->width, s.frame->height,
                               static_cast<AVPixelFormat>(s.frame->format), s.out_width,
                               s.out_height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr,
                               nullptr);
  bool scaled = false;
  if (s.sws != nullptr) {
    video->width = s.out_width;
    video->height = s.out_height;
    video->bgra.resize(static_cast<size_t>(s.out_width) * 4 * static_cast<size_t>(s.out_height));
    uint8_t* planes[4] = {video->bgra.data(), nullptr, nullptr, nullptr};
    const int pitches[4] = {s.out_width * 4, 0, 0, 0};
    scaled = sws_scale(s.sws, s.frame->data, s.frame->linesize, 0, s.frame->height, planes,
                       pitches) == s.out_height;
  }
  av_frame_unref(s.frame);
  return scaled ? Received::kItem : Received::kRetry;
}

MovieDecoder::Received MovieDecoder::ReceiveAudio(std::vector<int16_t>* audio,
                                                  int64_t* audio_time_us) {
  State& s = *state_;
  const int r = avcodec_receive_frame(s.audio, s.frame);
  if (r != 0) {
    if (r != AVERROR(EAGAIN) || s.input_done) s.audio_done = true;
    return Received::kNone;
  }
  const int64_t pts = s.frame->best_effort_timestamp;
  const AVRational base = s.fmt->streams[s.audio_index]->time_base;
  *audio_time_us = pts != AV_NOPTS_VALUE ? ToMicroseconds(pts, base) - s.start_us : s.next_audio_us;
  const int got = AppendResampled(s.swr, const_cast<const uint8_t**>(s.frame->extended_data),
                                  s.frame->nb_samples, audio);
  if (s.frame->sample_rate > 0) {
    s.next_audio_us =
        *audio_time_us + av_rescale(s.frame->nb_samples, 1000000, s.frame->sample_rate);
  }
  av_frame_unref(s.frame);
  return got > 0 ? Received::kItem : Received::kRetry;
}

bool MovieDecoder::FlushAudio(std::vector<int16_t>* audio, int64_t* audio_time_us) {
  State& s = *state_;
  s.swr_flushed = true;
  if (AppendResampled(s.swr, nullptr, 0, audio) <= 0) return false;
  *audio_time_us = s.next_audio_us;
  return true;
}

void MovieDecoder::ReadPacket() {
  State& s = *state_;
  if (av_read_frame(s.fmt, s.packet) < 0) {
    s.input_done = true;
    // A decoder that refuses the flush has nothing more to give.
    if (!s.video_done && avcodec_send_packet(s.video, nullptr) < 0) s.video_done = true;
    if (!s.audio_done && avcodec_send_packet(s.audio, nullptr) < 0) s.audio_done = true;
    return;
  }
  if (s.packet->stream_index == s.video_index && !s.video_done) {
    avcodec_send_packet(s.video, s.packet);
  } else if (s.packet->stream_index == s.audio_index && !s.audio_done) {
    avcodec_send_packet(s.audio, s.packet);
  }
  av_packet_unref(s.packet);
}

MovieDecoder::Item MovieDecoder::Next(MovieVideoFrame* video, std::vector<int16_t>* audio,
                                      int64_t* audio_time_us) {
  State& s = *state_;
  if (s.fmt == nullptr) return Item::kEnd;
  for (;;) {
    if (!s.video_done) {
      const Received r = ReceiveVideo(video);
      if (r == Received::kItem) return Item::kVideo;
      if (r == Received::kRetry) continue;
    }
    if (!s.audio_done) {
      const Received r = ReceiveAudio(audio, audio_time_us);
      if (r == Received::kItem) return Item::kAudio;
      if (r == Received::kRetry) continue;
    }
    if (s.audio_done && s.swr != nullptr && !s.swr_flushed && FlushAudio(audio, audio_time_us)) {
      return Item::kAudio;
    }
    if (s.input_done) {
      if (s.video_done && s.audio_done) return Item::kEnd;
      continue;
    }
    ReadPacket();
  }
}

}  // namespace korvel::platform
