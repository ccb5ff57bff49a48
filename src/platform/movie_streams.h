// Opening a movie file's container and one stream's decoder with FFmpeg's libraries, as the movie
// decoder does (tests decode through the same calls).
#pragma once

#include <string>

struct AVCodecContext;
struct AVFormatContext;

namespace korvel::platform {

// Opens a file as a container, reading local files only (a playlist cannot reach the network);
// null when it does not open or its streams cannot be read. Close with avformat_close_input.
AVFormatContext* OpenMovieContainer(const std::string& utf8_path);

// Opens the decoder of stream `index` on one thread; null when it has none or it does not open.
// Free with avcodec_free_context.
AVCodecContext* OpenMovieStreamDecoder(AVFormatContext* fmt, int index);

}  // namespace korvel::platform
