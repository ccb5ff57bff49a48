// Positioned reads of a pack inside its bounds.
#include "resource/pack_stream.h"

#include <cstdint>

#include "core/appended_data.h"
#include "resource/pack_format.h"

namespace korvel {

PackExecutable g_pack_executable;

bool OpenDataFile(DataFileStream* stream, const std::string& path) {
  *stream = DataFileStream{};
  const bool executable = path == kExecutablePackPath;
  const std::string& real = executable ? g_pack_executable.path : path;
  if (real.empty()) return false;
  if (platform::OpenReadOnlyFile(real, &stream->file) != platform::FileStatus::kOk) return false;
  const uint64_t size = stream->file.size;
  uint64_t base = 0;
  uint64_t end = size;
  if (executable) {
    // The appended pack's bytes end where the footer starts.
    base = g_pack_executable.base;
    if (size < kAppendedFooterSize || base > size - kAppendedFooterSize || base > INT64_MAX) {
      platform::CloseReadOnlyFile(&stream->file);
      return false;
    }
    end = size - kAppendedFooterSize;
  }
  stream->opened = true;
  stream->base = static_cast<int64_t>(base);
  stream->end = end;
  stream->position = base;
  return true;
}

void CloseDataFile(DataFileStream* stream) {
  *stream = DataFileStream{};
}

uint64_t StreamLength(const DataFileStream& stream) {
  return stream.end - static_cast<uint64_t>(stream.base);
}

bool SeekStreamTo(DataFileStream* stream, uint64_t position) {
  if (!stream->opened || position > StreamLength(*stream)) return false;
  stream->position = static_cast<uint64_t>(stream->base) + position;
  return true;
}

int64_t StreamPosition(const DataFileStream& stream) {
  return static_cast<int64_t>(stream.position - static_cast<uint64_t>(stream.base));
}

bool ReadFileBytes(DataFileStream* stream, void* buffer, size_t count) {
  if (!stream->opened || stream->position > stream->end || count > stream->end - stream->position) {
    return false;
  }
  if (platform::ReadFileAt(stream->file, stream->position, buffer, count) !=
      platform::FileStatus::kOk) {
    return false;
  }
  stream->position += count;
  return true;
}

bool ReadStreamByte(DataFileStream* stream, uint8_t* value) {
  return ReadFileBytes(stream, value, 1);
}

bool ReadFileDword(DataFileStream* stream, uint32_t* value) {
  uint8_t b[4];
  if (!ReadFileBytes(stream, b, sizeof b)) return false;
  *value = LoadU32(b);
  return true;
}

bool ReadFileQword(DataFileStream* stream, uint64_t* value) {
  uint8_t b[8];
  if (!ReadFileBytes(stream, b, sizeof b)) return false;
  *value = LoadU64(b);
  return true;
}

}  // namespace korvel
