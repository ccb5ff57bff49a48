// A libjpeg decompressor that reads one file held in memory, shared by both JPEG decoders: errors
// jump back to the caller's recovery point, progressive files with too many scans are refused.
#pragma once

#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

namespace korvel {

struct JpegErrorManager {
  jpeg_error_mgr standard;  // first, so libjpeg's err pointer is the manager's address
  jmp_buf recovery;         // where the error exit jumps; the caller arms it with setjmp
};

// The in-memory source's input; the decompressor's client_data points at it.
struct JpegMemoryInput {
  const uint8_t* data = nullptr;
  size_t size = 0;
  bool handed_over = false;
};

struct JpegMemoryReader {
  jpeg_decompress_struct cinfo;
  JpegErrorManager error;
  jpeg_source_mgr source;
  jpeg_progress_mgr progress;
  JpegMemoryInput input;
};

// Creates the decompressor with its error exit, its in-memory source and its scan limit. libjpeg
// can fail while creating it, so a caller that arms `error.recovery` first gets that failure too.
void CreateJpegMemoryReader(JpegMemoryReader* reader);
// Points the reader at the next file; the bytes must outlive the decode.
void StartJpegMemoryInput(JpegMemoryReader* reader, const uint8_t* data, size_t size);

}  // namespace korvel
