// The data block appended to the executable: the size R of the bare executable sits in a 16-byte
// footer at the very end ("KR_RES", two zero bytes, u64 R); the block at R starts with "KRER", the
// pack offset A, the preview size B and a zero word, then the preview bitmap; packs start at R + A.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

inline constexpr uint64_t kAppendedFooterSize = 16;
inline constexpr uint64_t kAppendedBlockHeaderSize = 16;
// R when a file has no footer: no block.
inline constexpr uint64_t kNoAppendedBlock = 4;

struct AppendedData {
  uint64_t file_size = 0;       // 0 when the executable cannot be opened
  uint64_t bare_size = kNoAppendedBlock;  // R; 4 (no block) without a footer
  bool block_present = false;   // magic at R and every size inside the file
  uint32_t pack_offset = 0;     // A, from R
  uint32_t preview_size = 0;    // B
  bool screen_saver_build = false;   // B is not 0
  bool packs_inside_executable = false;
  uint64_t pack_base = 0;       // R + A when the packs are inside
};

// What start-up found appended to the running program.
extern AppendedData g_appended;

// The one reader of the footer: `tail` holds a file's last `size` bytes (or the whole file). True
// with R in `bare_size` when the last 16 of them are a footer; false when there are fewer than 16
// or the magic differs. R is not checked against anything here.
bool ParseAppendedFooter(const uint8_t* tail, size_t size, uint64_t* bare_size);

// The whole probe over a file held in memory: what ProbeAppendedData finds in a file of these bytes.
void ProbeAppendedBytes(const uint8_t* file, size_t size, AppendedData* data);

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
