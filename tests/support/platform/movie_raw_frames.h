// Every video frame of a movie file as the decoder gives it, before any scaling.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace korvel::test {

// Decodes every video frame of a file through the engine's container and decoder set-up and hands
// each, in the decoder's own pixel format with its planes packed without padding, to `sink`.
// False when the file or its video decoder cannot be opened.
using RawFrameSink = void (*)(void* context, const uint8_t* data, size_t size, int64_t pts);
bool DecodeRawVideo(const std::string& utf8_path, RawFrameSink sink, void* context);

}  // namespace korvel::test
