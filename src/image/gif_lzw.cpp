// The GIF LZW decoder.
#include "image/gif_lzw.h"

#include "core/parent_chain.h"

namespace korvel {

void StartGifSubBlocks(GifSubBlockReader* reader, const uint8_t* data, size_t size,
                       size_t position) {
  *reader = GifSubBlockReader{};
  reader->data = data;
  reader->size = size;
  reader->position = position;
}

bool NextGifDataByte(GifSubBlockReader* reader, uint8_t* byte) {
  while (reader->block_left == 0) {
    if (reader->ended || reader->truncated) return false;
    if (reader->position >= reader->size) {
      reader->truncated = true;
      return false;
    }
    reader->block_left = reader->data[reader->position++];
    if (reader->block_left == 0) {
      reader->ended = true;
      return false;
    }
  }
  if (reader->position >= reader->size) {
    reader->truncated = true;
    reader->block_left = 0;
    return false;
  }
  *byte = reader->data[reader->position++];
  --reader->block_left;
  return true;
}

bool SkipGifSubBlocks(GifSubBlockReader* reader) {
  while (!reader->ended) {
    if (reader->truncated) return false;
    if (reader->block_left > reader->size - reader->position) {
      reader->position = reader->size;
      reader->truncated = true;
      return false;
    }
    reader->position += reader->block_left;
    reader->block_left = 0;
    if (reader->position >= reader->size) {
      reader->truncated = true;
      return false;
    }
    reader->block_left = reader->data[reader->position++];
    if (reader->block_left == 0) reader->ended = true;
  }
  return true;
}

namespace {

void ResetTable(GifLzwDecoder* lzw) {
  lzw->code_size = lzw->min_code_size + 1;
  lzw->code_limit = 1 << lzw->code_size;
  lzw->next_free = lzw->clear_code + 2;
  lzw->old_code = -1;
}

// The next code, or -1 when the data ends first.
int32_t ReadCode(GifLzwDecoder* lzw, GifSubBlockReader* reader) {
  while (lzw->bit_count < lzw->code_size) {
    uint8_t byte = 0;
    if (!NextGifDataByte(reader, &byte)) return -1;
    lzw->bit_buffer |= uint32_t{byte} << lzw->bit_count;
    lzw->bit_count += 8;
  }
  const auto code = static_cast<int32_t>(lzw->bit_buffer & ((1u << lzw->code_size) - 1));
  lzw->bit_buffer >>= lzw->code_size;
  lzw->bit_count -= lzw->code_size;
  return code;
}

}  // namespace

bool StartGifLzw(GifLzwDecoder* lzw, int32_t min_code_size) {
  lzw->finished = true;
  lzw->stack_size = 0;
  lzw->bit_buffer = 0;
  lzw->bit_count = 0;
  if (min_code_size < 1 || min_code_size > 11) return false;
  lzw->min_code_size = min_code_size;
  lzw->clear_code = 1 << min_code_size;
  lzw->end_code = lzw->clear_code + 1;
  for (int32_t i = 0; i < lzw->clear_code; ++i) {
    lzw->prefix[i] = 0;
    lzw->suffix[i] = static_cast<uint8_t>(i);
  }
  ResetTable(lzw);
  lzw->finished = false;
  return true;
}

size_t ReadGifLzw(GifLzwDecoder* lzw, GifSubBlockReader* reader, uint8_t* out, size_t count) {
  size_t written = 0;
  while (written < count) {
    if (lzw->stack_size > 0) {
      out[written++] = lzw->stack[--lzw->stack_size];
      continue;
    }
    if (lzw->finished) break;
    int32_t code = ReadCode(lzw, reader);
    if (code < 0 || code == lzw->end_code) {
      lzw->finished = true;
      break;
    }
    if (code == lzw->clear_code) {
      ResetTable(lzw);
      continue;
    }
    if (lzw->old_code < 0) {
      // The first code after a clear must be a single colour.
      if (code >= lzw->clear_code) {
        lzw->finished = true;
        break;
      }
      lzw->stack[lzw->stack_size++] = static_cast<uint8_t>(code);
      lzw->old_code = code;
      lzw->first_byte = static_cast<uint8_t>(code);
      continue;
    }
    if (code > lzw->next_free || code >= kGifLzwTableSize) {
      lzw->finished = true;
      break;
    }
    const int32_t in_code = code;
    if (code == lzw->next_free) {
      // The string of the previous code plus its own first byte.
      lzw->stack[lzw->stack_size++] = lzw->first_byte;
      code = lzw->old_code;
    }
    // Each entry's prefix is an older code, so the walk ends at a single colour: the string's
    // first byte, pushed last. The stack top lives in a local while the walk pushes.
    uint8_t* top = lzw->stack + lzw->stack_size;
    const uint8_t* suffix = lzw->suffix;
    const uint32_t root = FollowParentChain(lzw->prefix, kGifLzwTableSize,
                                            static_cast<uint32_t>(code),
                                            static_cast<uint32_t>(lzw->clear_code - 1),
                                            [&top, suffix](uint32_t c) { *top++ = suffix[c]; });
    lzw->stack_size = static_cast<int32_t>(top - lzw->stack);
    lzw->first_byte = static_cast<uint8_t>(root);
    lzw->stack[lzw->stack_size++] = lzw->first_byte;
    if (lzw->next_free < kGifLzwTableSize) {
      lzw->prefix[lzw->next_free] = static_cast<uint16_t>(lzw->old_code);
      lzw->suffix[lzw->next_free] = lzw->first_byte;
      ++lzw->next_free;
      if (lzw->next_free >= lzw->code_limit && lzw->code_size < 12) {
        ++lzw->code_size;
        lzw->code_limit <<= 1;
      }
    }
    lzw->old_code = in_code;
  }
  return written;
}

}  // namespace korvel
