// Writes KCG image files.
#include "lib/kcg_writer.h"

#include <zlib.h>

#include <cstdio>
#include <string>

#include "image/kcg_format.h"

namespace korvel::tools {

namespace {

void PutU32(std::vector<uint8_t>* file, uint32_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*file)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

bool AppendStream(std::vector<uint8_t>* file, const uint8_t* data, uint64_t size, int level,
                  uint32_t* packed) {
  uLongf bound = compressBound(static_cast<uLong>(size));
  const size_t start = file->size();
  file->resize(start + bound);
  if (compress2(file->data() + start, &bound, data, static_cast<uLong>(size), level) != Z_OK) {
    return false;
  }
  file->resize(start + bound);
  *packed = static_cast<uint32_t>(bound);
  return true;
}

}  // namespace

std::vector<uint8_t> WriteKcg(const uint8_t* pixels, int32_t width, int32_t height,
                              const KcgWriteOptions& options) {
  if (width < 1 || height < 1) return {};
  const uint64_t bytes = uint64_t(width) * 4 * uint64_t(height);
  std::vector<uint8_t> file(kKcgHeaderSize, 0);
  for (int i = 0; i < 4; ++i) file[i] = kKcgMagic[i];
  PutU32(&file, kKcgWidthOffset, static_cast<uint32_t>(width));
  PutU32(&file, kKcgHeightOffset, static_cast<uint32_t>(height));
  if (!options.compress) {
    PutU32(&file, kKcgCompressionOffset, kKcgRaw);
    file.insert(file.end(), pixels, pixels + bytes);
    return file;
  }
  uint64_t split = options.split < 0 ? bytes / 8 * 4 : static_cast<uint64_t>(options.split);
  if (split > bytes) split = bytes;
  PutU32(&file, kKcgCompressionOffset, kKcgZlib);
  uint32_t packed1 = 0;
  uint32_t packed2 = 0;
  if (!AppendStream(&file, pixels, split, options.level, &packed1) ||
      !AppendStream(&file, pixels + split, bytes - split, options.level, &packed2)) {
    return {};
  }
  PutU32(&file, kKcgUnpacked1Offset, static_cast<uint32_t>(split));
  PutU32(&file, kKcgPacked1Offset, packed1);
  PutU32(&file, kKcgUnpacked2Offset, static_cast<uint32_t>(bytes - split));
  PutU32(&file, kKcgPacked2Offset, packed2);
  return file;
}

bool SaveKcg(const char* path, const std::vector<uint8_t>& file) {
  const std::string temporary = std::string(path) + ".tmp";
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
  if (out == nullptr) return false;
  const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed || std::rename(temporary.c_str(), path) != 0) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace korvel::tools
