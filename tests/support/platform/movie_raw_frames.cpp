// Every video frame of a movie file as the decoder gives it, before any scaling.
#include "support/platform/movie_raw_frames.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
}

#include <vector>

#include "platform/movie_streams.h"

namespace korvel::test {

bool DecodeRawVideo(const std::string& utf8_path, RawFrameSink sink, void* context) {
  AVFormatContext* fmt = platform::OpenMovieContainer(utf8_path);
  if (fmt == nullptr) return false;
  const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  AVCodecContext* ctx = platform::OpenMovieStreamDecoder(fmt, index);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  const bool ok = ctx != nullptr && packet != nullptr && frame != nullptr;
  std::vector<uint8_t> bytes;
  const auto drain = [&] {
    while (avcodec_receive_frame(ctx, frame) == 0) {
      const auto format = static_cast<AVPixelFormat>(frame->format);
      const int size = av_image_get_buffer_size(format, frame->width, frame->height, 1);
      if (size > 0) {
        bytes.resize(static_cast<size_t>(size));
        av_image_copy_to_buffer(bytes.data(), size, frame->data, frame->linesize, format,
                                frame->width, frame->height, 1);
        sink(context, bytes.data(), bytes.size(), frame->best_effort_timestamp);
      }
      av_frame_unref(frame);
    }
  };
  if (ok) {
    while (av_read_frame(fmt, packet) >= 0) {
      if (packet->stream_index == index && avcodec_send_packet(ctx, packet) >= 0) drain();
      av_packet_unref(packet);
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&ctx);
  avformat_close_input(&fmt);
  return ok;
}

}  // namespace korvel::test
