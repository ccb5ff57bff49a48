// Fuzz target: the load command's reader over a whole save file. Every slot the table names is
// read and, when it inflates, decoded against an integer array, a string array and a layer
// record; nothing may read out of bounds or allocate without a bound.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "layer/layer_block_codec.h"
#include "layer/layer_data.h"
#include "script/save_format.h"
#include "script/variables.h"

namespace {

bool SetUpVariables() {
  using namespace korvel;
  if (CreateVariableRecords(1002) != 0) return false;
  const uint32_t dims[1] = {4};
  FillVarIntInit(1000, 1, dims, 0);
  FillVarStringInit(1001, 1, dims, "");
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  static const bool ready = SetUpVariables();
  if (!ready) return 0;
  const std::span<const uint8_t> file(data, size);
  for (uint32_t slot : {1u, 2u, 3u, 1024u}) {
    SaveEntry entry;
    if (ReadSaveEntryFromBytes(file, slot, &entry) != SaveReadStatus::kOk) continue;
    if (entry.kind == kSaveKindVariable) {
      for (uint32_t number : {1000u, 1001u}) {
        for (bool whole : {true, false}) {
          DecodedVariable decoded;
          if (DecodeVariablePayload(entry.raw, number, whole, 1, &decoded) == 0) {
            StoreDecodedVariable(decoded, number, whole, 1);
          }
        }
      }
    } else if (entry.raw.size() >= kSavedLayerHead) {
      LayerData layer{};
      const uint64_t pixels = entry.raw.size() - kSavedLayerHead;
      DecodeLayerBlock(std::span<const uint8_t>(entry.raw).subspan(8, kLayerBlockSize), pixels,
                       &layer);
    }
  }
  return 0;
}
