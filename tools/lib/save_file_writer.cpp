// Save-data files for tests and fuzz seeds, written straight from the file layout.
#include "lib/save_file_writer.h"

#include <zlib.h>

#include <cstring>

namespace korvel::tools {

namespace {

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void SetU32(std::vector<uint8_t>* out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

std::vector<uint8_t> WriteSaveFileBytes(const std::vector<SaveSlotEntry>& entries) {
  std::vector<uint8_t> file = {'K', 'R', 'S', 'D'};
  PutU32(&file, 312);
  PutU32(&file, static_cast<uint32_t>(entries.size()));
  PutU32(&file, 1024);
  file.resize(16 + 4 * 1024, 0);
  for (const SaveSlotEntry& e : entries) {
    if (e.slot < 1 || e.slot > 1024) return {};
    SetU32(&file, 12 + 4 * e.slot, static_cast<uint32_t>(file.size()));
    uLongf packed_size = compressBound(static_cast<uLong>(e.raw.size()));
    std::vector<uint8_t> packed(packed_size);
    if (compress2(packed.data(), &packed_size, e.raw.data(), static_cast<uLong>(e.raw.size()), 1) !=
        Z_OK) {
      return {};
    }
    PutU32(&file, e.slot);
    file.insert(file.end(), {e.kind, 1, 0, 0});
    PutU32(&file, static_cast<uint32_t>(packed_size));
    PutU32(&file, static_cast<uint32_t>(e.raw.size()));
    file.insert(file.end(), packed.begin(), packed.begin() + static_cast<long>(packed_size));
  }
  return file;
}

std::vector<uint8_t> IntVariableRaw(const std::vector<uint32_t>& dims,
                                    const std::vector<int64_t>& values) {
  std::vector<uint8_t> raw;
  PutU32(&raw, 1);
  PutU32(&raw, static_cast<uint32_t>(dims.size()));
  for (uint32_t d : dims) PutU32(&raw, d);
  PutU32(&raw, static_cast<uint32_t>(values.size() * 8));
  for (int64_t v : values) {
    for (int i = 0; i < 8; ++i) raw.push_back(static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i)));
  }
  return raw;
}

std::vector<uint8_t> StringVariableRaw(const std::vector<uint32_t>& dims,
                                       const std::vector<std::string>& values) {
  std::vector<uint8_t> raw;
  PutU32(&raw, 3);
  PutU32(&raw, static_cast<uint32_t>(dims.size()));
  for (uint32_t d : dims) PutU32(&raw, d);
  uint32_t length = 0;
  for (const std::string& s : values) length += 4 + static_cast<uint32_t>(s.size());
  PutU32(&raw, length);
  for (const std::string& s : values) {
    PutU32(&raw, static_cast<uint32_t>(s.size()));
    raw.insert(raw.end(), s.begin(), s.end());
  }
  return raw;
}

std::vector<uint8_t> LayerRaw(int32_t width, int32_t height, const std::vector<uint8_t>& pixels) {
  std::vector<uint8_t> raw;
  PutU32(&raw, 1536);
  PutU32(&raw, static_cast<uint32_t>(pixels.size()));
  std::vector<uint8_t> block(1536, 0);
  SetU32(&block, 112, static_cast<uint32_t>(width));
  SetU32(&block, 116, static_cast<uint32_t>(height));
  block[120] = 0;  // opacity 256
  block[121] = 1;
  block[122] = 0;  // mask level 256
  block[123] = 1;
  block[129] = 1;  // visible
  raw.insert(raw.end(), block.begin(), block.end());
  raw.insert(raw.end(), pixels.begin(), pixels.end());
  return raw;
}

}  // namespace korvel::tools
