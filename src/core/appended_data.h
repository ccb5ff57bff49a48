// The data block appended to the executable: the size R of the bare executable sits in a 16-byte
// footer at the very end ("KR_RES", two zero bytes, u64 R); the block at R starts with "KRER", the
// pack offset A, the preview size B and a zero word, then the preview bitmap; packs start at R + A.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

struct AppendedData {
  uint64_t file_size = 0;       // 0 when the executable cannot be opened
  uint64_t bare_size = 4;       // R; 4 (no block) without a footer
  bool block_present = false;   // magic at R and every size inside the file
  uint32_t pack_offset = 0;     // A, from R
  uint32_t preview_size = 0;    // B
  bool screen_saver_build = false;   // B is not 0
  bool packs_inside_executable = false;
  uint64_t pack_base = 0;       // R + A when the packs are inside
};

// What start-up found appended to the running program.
extern AppendedData g_appended;

// R from the footer: 4 when there is none (or the file cannot be read).
uint64_t ReadAppendedDataOffset(const std::string& executable);

// Fills `data` for the executable: file size, R, and the block's sizes when it is valid. A block
// whose magic, zero word or sizes do not fit the file counts as no block. Returns the file size.
uint64_t ProbeAppendedData(const std::string& executable, AppendedData* data);

// True when R > 0 and a valid block starts at R.
bool HasAppendedData(const std::string& executable);

// The B bytes of the preview bitmap, or empty when there is no valid block or B is 0.
std::vector<uint8_t> ReadAppendedPreviewBitmap(const std::string& executable);

}  // namespace korvel
