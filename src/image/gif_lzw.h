// The engine's GIF LZW decoder: codes read least-significant bit first from an image's data
// sub-blocks, variable code sizes up to 12 bits, a 4096-entry string table.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

// Walks the data sub-blocks of one image (a length byte, then that many bytes; length 0 ends).
struct GifSubBlockReader {
  const uint8_t* data = nullptr;
  size_t size = 0;
  size_t position = 0;    // next byte of the file
  size_t block_left = 0;  // bytes left in the current sub-block
  bool ended = false;     // the empty sub-block was read
  bool truncated = false;  // the file ended before the empty sub-block
};

void StartGifSubBlocks(GifSubBlockReader* reader, const uint8_t* data, size_t size,
                       size_t position);
// The next data byte; false at the empty sub-block or the end of the file.
bool NextGifDataByte(GifSubBlockReader* reader, uint8_t* byte);
// Moves behind the empty sub-block. False when the file ends first.
bool SkipGifSubBlocks(GifSubBlockReader* reader);

inline constexpr int32_t kGifLzwTableSize = 4096;

struct GifLzwDecoder {
  int32_t min_code_size = 0;
  int32_t code_size = 0;
  int32_t clear_code = 0;
  int32_t end_code = 0;
  int32_t next_free = 0;  // the code the next table entry gets
  int32_t code_limit = 0;  // 1 << code_size
  int32_t old_code = -1;   // previous code, -1 right after a clear
  uint8_t first_byte = 0;  // first byte of the previous code's string
  uint32_t bit_buffer = 0;
  int32_t bit_count = 0;
  bool finished = false;  // end code, end of data or a bad code
  uint16_t prefix[kGifLzwTableSize] = {};
  uint8_t suffix[kGifLzwTableSize] = {};
  // A string is pushed in reverse and popped into the output; a call can stop in the middle of
  // one and the next call goes on with the rest.
  uint8_t stack[kGifLzwTableSize + 1] = {};
  int32_t stack_size = 0;
};

// Prepares for an image with the given minimum code size. False for sizes outside 1..11, which
// end the image at once.
bool StartGifLzw(GifLzwDecoder* lzw, int32_t min_code_size);

// Decodes up to `count` colour indices into `out`. Returns how many it wrote; fewer than `count`
// means the image's data ended: at the end code, at the empty sub-block, at the end of the file,
// or at a code above the next free code (a damaged stream).
size_t ReadGifLzw(GifLzwDecoder* lzw, GifSubBlockReader* reader, uint8_t* out, size_t count);

}  // namespace korvel
