// The writing side of save data: pending blocks built from a variable or a layer, and the save
// file written from the pending blocks and the blocks an existing file already holds.
#pragma once

#include <cstdint>
#include <string>

#include "layer/layer_data.h"
#include "script/variables.h"

namespace korvel {

// Results of building a block besides 0.
enum : int32_t {
  kSaveBlockTooLarge = 108070,  // the loader could not read it back
  kSaveBlockNoMemory = -2,      // zlib or the block allocation ran out of memory
  kSaveBlockFailed = -1,        // an element outside the variable, or another zlib failure
};

// Makes the pending block of slot `slot` (1..1024, not pending) from a variable (one element or the
// whole variable) or a layer. The layer's pixels are compressed where they lie. Nothing changes on
// failure.
int32_t BuildVariableSaveBlock(uint32_t slot, const VariableRecord& var, bool whole,
                               int64_t element);
int32_t BuildLayerSaveBlock(uint32_t slot, const LayerData& layer);

struct SaveWriteResult {
  int32_t code = 0;  // 0, 102140, 108030 (not a save file, or damaged), 108040
  int error = 0;     // errno for 102140
  std::string path;  // the file's path (UTF-8)
};

// Writes every pending block into `file_name` (UTF-8) in `folder`, creating the folder and every
// missing level above it. The new file replaces the old one only when it is whole on disk; on
// success the pending blocks are freed, on failure they stay and the old file is untouched.
SaveWriteResult WriteSaveFile(const std::string& folder, const std::string& file_name);

}  // namespace korvel
