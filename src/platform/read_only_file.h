// A file opened for reading at offsets: packs and the program's appended data are read through it,
// so positioned reads from several threads never share a file position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_system.h"

namespace korvel::platform {

// An open regular file and its size when it was opened. Moving hands the file over; the owner
// closes it when it goes away (or through CloseReadOnlyFile).
struct ReadOnlyFile {
  int handle = -1;
  uint64_t size = 0;

  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile& operator=(ReadOnlyFile&& other) noexcept;
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  bool is_open() const { return handle >= 0; }
};

// Opens a regular file (UTF-8 path). kNotFound when it does not exist, kIsFolder for a folder,
// kOpenFailed when it cannot be opened or is not a regular file (a pipe or a device is never
// waited on). `file` is closed first and stays closed on failure.
FileStatus OpenReadOnlyFile(const std::string& path, ReadOnlyFile* file);

// Reads exactly `count` bytes at `offset`. kShortRead when they are not all inside the file (or
// the read fails), kOpenFailed when the file is not open.
FileStatus ReadFileAt(const ReadOnlyFile& file, uint64_t offset, void* buffer, size_t count);

void CloseReadOnlyFile(ReadOnlyFile* file);

}  // namespace korvel::platform
