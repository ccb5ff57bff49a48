// Checking an entry's bytes against their stored hash and mending one damaged 1024-byte block from
// the entry's parity.
#pragma once

#include <cstddef>
#include <cstdint>

#include "resource/pack_stream.h"

namespace korvel {

// `stream` stands right behind the bytes, at the entry's repair block. 0 when the bytes' hash is
// the expected one, 1 when they were repaired in place, -1 when they are broken: no repair data, a
// repair block that is not exactly 1024 parity bytes and one check per block, or damage that one
// parity block cannot mend.
int32_t CheckAndRepairData(DataFileStream* stream, uint8_t* data, size_t size,
                           uint32_t expected_hash);

}  // namespace korvel
