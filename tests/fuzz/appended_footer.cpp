// Fuzz target: a program file with data appended to it: the 16-byte footer, the block header at R
// and the preview bitmap, probed the way start-up probes the running program.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/appended_data.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  const std::string path = fuzz::WriteScratchFile("program", data, size);
  AppendedData found;
  if (ProbeAppendedData(path, &found) != size || found.file_size != size) __builtin_trap();
  if (found.block_present) {
    // Every size lies between R and the footer.
    const uint64_t content_end = size - 16;
    if (found.bare_size >= content_end || found.pack_base > content_end ||
        found.pack_base != found.bare_size + found.pack_offset ||
        uint64_t{found.preview_size} + 16 > found.pack_offset ||
        found.screen_saver_build != (found.preview_size != 0)) {
      __builtin_trap();
    }
  }
  // The probe over the same bytes in memory finds the same block.
  AppendedData in_memory;
  ProbeAppendedBytes(data, size, &in_memory);
  if (in_memory.block_present != found.block_present || in_memory.bare_size != found.bare_size ||
      in_memory.pack_base != found.pack_base || in_memory.preview_size != found.preview_size) {
    __builtin_trap();
  }
  if (HasAppendedData(path) != found.block_present) __builtin_trap();
  if (ReadAppendedDataOffset(path) != found.bare_size) __builtin_trap();
  const size_t preview = ReadAppendedPreviewBitmap(path).size();
  if (preview != (found.block_present ? found.preview_size : 0u)) __builtin_trap();
  return 0;
}
