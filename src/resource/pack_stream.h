// The data-file stream packs are read through: a read-only file with a base offset (0 for a pack
// file, the appended pack's offset inside the executable otherwise) and an end, so no read leaves
// the pack's bytes. Every read is positioned, so streams of several threads never share state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/read_only_file.h"

namespace korvel {

struct DataFileStream {
  platform::ReadOnlyFile file;
  bool opened = false;
  int64_t base = 0;       // where the pack starts in the file
  uint64_t end = 0;       // file offset where the pack's bytes end
  uint64_t position = 0;  // file offset of the next read
};

// The executable that holds the appended pack, and the pack's offset in it. Opening the path
// kExecutablePackPath opens this file; its bytes end before the 16-byte footer.
struct PackExecutable {
  std::string path;
  uint64_t base = 0;
};
extern PackExecutable g_pack_executable;

// Opens a pack file (UTF-8 path) or, for kExecutablePackPath, the executable at its base offset.
// False when it cannot be opened (or the executable is too short for its base).
bool OpenDataFile(DataFileStream* stream, const std::string& path);
void CloseDataFile(DataFileStream* stream);

// The pack's length in bytes (end - base).
uint64_t StreamLength(const DataFileStream& stream);

// Moves to `position` from the base; false past the end.
bool SeekStreamTo(DataFileStream* stream, uint64_t position);
// The position from the base.
int64_t StreamPosition(const DataFileStream& stream);

// Reads at the position and moves on. False when the bytes are not all there (or the read fails);
// the position is then unchanged.
bool ReadFileBytes(DataFileStream* stream, void* buffer, size_t count);
bool ReadStreamByte(DataFileStream* stream, uint8_t* value);
bool ReadFileDword(DataFileStream* stream, uint32_t* value);
bool ReadFileQword(DataFileStream* stream, uint64_t* value);

}  // namespace korvel
