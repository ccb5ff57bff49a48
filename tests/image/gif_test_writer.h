// A small GIF writer for tests and benchmarks: a textbook LZW encoder (optionally without clear
// codes once the table is full) and the file around it, so a test controls every byte.
#pragma once

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace korvel::test {

// LZW codes of `indices`, packed least-significant bit first (not yet cut into sub-blocks).
inline std::vector<uint8_t> EncodeGifLzw(const std::vector<uint8_t>& indices, int min_code_size,
                                         bool clear_when_full = true) {
  std::vector<uint8_t> out;
  uint32_t bits = 0;
  int bit_count = 0;
  const int clear = 1 << min_code_size;
  int width = min_code_size + 1;
  int next_free = clear + 2;
  std::map<std::pair<int, int>, int> table;
  auto emit = [&](int code) {
    bits |= static_cast<uint32_t>(code) << bit_count;
    bit_count += width;
    while (bit_count >= 8) {
      out.push_back(static_cast<uint8_t>(bits));
      bits >>= 8;
      bit_count -= 8;
    }
    // The decoder widens its codes one code later than the entry is made.
    if (next_free >= (1 << width) && width < 12) ++width;
  };
  auto reset = [&] {
    table.clear();
    width = min_code_size + 1;
    next_free = clear + 2;
  };
  emit(clear);
  if (!indices.empty()) {
    int prefix = indices[0];
    for (size_t i = 1; i < indices.size(); ++i) {
      const int pixel = indices[i];
      const auto found = table.find({prefix, pixel});
      if (found != table.end()) {
        prefix = found->second;
        continue;
      }
      emit(prefix);
      if (next_free < 4096) {
        table[{prefix, pixel}] = next_free++;
      } else if (clear_when_full) {
        emit(clear);
        reset();
      }
      prefix = pixel;
    }
    emit(prefix);
  }
  emit(clear + 1);
  if (bit_count > 0) out.push_back(static_cast<uint8_t>(bits));
  return out;
}

inline void AppendSubBlocks(std::vector<uint8_t>* file, const std::vector<uint8_t>& data) {
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t n = data.size() - at < 255 ? data.size() - at : 255;
    file->push_back(static_cast<uint8_t>(n));
    file->insert(file->end(), data.begin() + static_cast<ptrdiff_t>(at),
                 data.begin() + static_cast<ptrdiff_t>(at + n));
  }
  file->push_back(0);
}

inline void AppendU16(std::vector<uint8_t>* file, int value) {
  file->push_back(static_cast<uint8_t>(value));
  file->push_back(static_cast<uint8_t>(value >> 8));
}

// "GIF89a", the logical screen and a global colour table of 2^bits entries (colour i is
// (i, 255 - i, i * 3)).
inline std::vector<uint8_t> GifHeader(int screen_width, int screen_height, int bits) {
  std::vector<uint8_t> file = {'G', 'I', 'F', '8', '9', 'a'};
  AppendU16(&file, screen_width);
  AppendU16(&file, screen_height);
  file.push_back(static_cast<uint8_t>(0x80 | (bits - 1)));
  file.push_back(0);
  file.push_back(0);
  for (int i = 0; i < (1 << bits); ++i) {
    file.push_back(static_cast<uint8_t>(i));
    file.push_back(static_cast<uint8_t>(255 - i));
    file.push_back(static_cast<uint8_t>(i * 3));
  }
  return file;
}

// An image descriptor and its data; `rows` in the order the data holds them.
inline void AppendGifImage(std::vector<uint8_t>* file, int left, int top, int width, int height,
                           uint8_t flags, int min_code_size, const std::vector<uint8_t>& indices,
                           bool clear_when_full = true) {
  file->push_back(0x2C);
  AppendU16(file, left);
  AppendU16(file, top);
  AppendU16(file, width);
  AppendU16(file, height);
  file->push_back(flags);
  file->push_back(static_cast<uint8_t>(min_code_size));
  AppendSubBlocks(file, EncodeGifLzw(indices, min_code_size, clear_when_full));
}

inline void AppendGraphicControl(std::vector<uint8_t>* file, int transparent, int delay,
                                 int disposal) {
  const uint8_t flags =
      static_cast<uint8_t>((disposal & 7) << 2 | (transparent >= 0 ? 1 : 0));
  file->insert(file->end(), {0x21, 0xF9, 4, flags});
  AppendU16(file, delay);
  file->push_back(static_cast<uint8_t>(transparent >= 0 ? transparent : 0));
  file->push_back(0);
}

}  // namespace korvel::test
