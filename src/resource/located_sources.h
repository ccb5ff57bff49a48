// The four sources of data files, each with its find and its load, in the order lookups ask them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "resource/resource_locator.h"

namespace korvel {

struct LocatedSource {
  uint8_t source;  // kSource*
  // The source's number when it holds the name (the locator then says where), 0 when it does not,
  // -2 when a pack that holds a candidate cannot be opened. A loose file takes its type from the
  // extension when `want_type` is set; the other sources set the type they stored.
  int32_t (*find)(ResourceLocator* locator, const char* name, bool want_type);
  // Reads what find located into the locator's size and data: 0, or -2 / -3 after the loader's
  // report.
  int32_t (*load)(ResourceLocator* locator, const char* name);
};

inline constexpr size_t kLocatedSourceCount = 4;

// Preload banks, compiler output, loose files, packs; the packs before the loose files when they
// are inside the executable.
std::span<const LocatedSource, kLocatedSourceCount> LocatedSourceOrder(bool packs_inside_executable);

// The entry of a located source, or null for kSourceNone and unknown numbers.
const LocatedSource* LocatedSourceOf(uint8_t source);

}  // namespace korvel
