// The pack-file source, reached through a table of function pointers that the pack code fills when
// it mounts its packs. Without packs every lookup misses.
#pragma once

#include <cstdint>

#include "resource/resource_locator.h"

namespace korvel {

struct PackSource {
  // 2 found (source, type, pack number, position and index position set), 0 not found, -2 a pack
  // that holds a candidate cannot be opened.
  int32_t (*find)(ResourceLocator* locator, const char* name);
  // 0 loaded (size and data set), -2 damaged or undecodable, -3 cannot open or no memory.
  int32_t (*load)(ResourceLocator* locator, const char* name);
};

// Installs the pack code's entries; null restores the empty source.
void SetPackSource(const PackSource* source);

int32_t FindInPackFiles(ResourceLocator* locator, const char* name);
int32_t LoadFromPackFile(ResourceLocator* locator, const char* name);

}  // namespace korvel
