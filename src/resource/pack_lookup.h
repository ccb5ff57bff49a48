// Finding a name among the mounted pack entries and loading an entry: stored or zlib, checked
// against its stored hash, repaired once from its parity when damaged. Damaged entries are
// reported, never handed over.
#pragma once

#include <cstdint>

#include "resource/resource_locator.h"

namespace korvel {

// Lower-cases the name (and turns '/' into '\'), as stored names are, and searches the index.
// 2 found (source, type, pack number, position behind the type byte and index position set), 0 not
// found.
int32_t FindPackEntry(ResourceLocator* locator, const char* name);

// Loads the entry FindPackEntry located; `name` is for messages. 0 with size and data set; -2
// damaged or undecodable (104100, or 900040 / 106010 for zlib failures); -3 when the pack cannot be
// opened or the compression is unknown (901040) or memory runs out (104030). Every failure is
// reported (fatal).
int32_t LoadPackEntry(ResourceLocator* locator, const char* name);

}  // namespace korvel
