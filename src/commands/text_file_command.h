// Command 8: a comma-separated text file into a string array, or the number of its pieces.
#pragma once

#include <cstddef>
#include <cstdint>

namespace korvel {

inline constexpr uint8_t kCommandTextFile = 8;
// Longest file name the command looks up (longer names are refused as not found).
inline constexpr size_t kMaxTextFileName = 259;
// Bytes a stored piece keeps; longer pieces are cut on a character boundary.
inline constexpr size_t kMaxTextPiece = 4095;

// Decodes and runs command 8: 0, or -1 after a failed decode, lookup or load (reported).
int32_t RunTextFileCommand();

}  // namespace korvel
