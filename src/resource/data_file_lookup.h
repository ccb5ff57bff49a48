// Finding a data file by name in the four sources (preload banks, compiler output, disk, packs; the
// packs before the disk when they are inside the executable), loading it, and completing media
// names with the configured extension order.
#pragma once

#include <cstdint>
#include <string>

#include "resource/resource_locator.h"

namespace korvel {

// The order in which names without an extension are tried: image codes 1 ".png", 2 ".bmp", 3 ".jpg",
// 4 ".gif"; sound codes 1 ".ogg", 2 ".wav". Other codes are skipped.
struct MediaExtensionOrder {
  uint8_t image[4] = {1, 2, 3, 4};
  uint8_t sound[2] = {1, 2};
};

struct ResourceLookupState {
  bool packs_inside_executable = false;
  MediaExtensionOrder order;
};

extern ResourceLookupState g_resource;

// Media classes of LocateMediaFile.
inline constexpr int32_t kMediaImage = 0;
inline constexpr int32_t kMediaSound = 1;
inline constexpr int32_t kMediaAny = 9;

// Clears the locator's source and type, then asks the sources in order. Returns the source (1..4),
// 0 when not found, -2 when a pack that holds a candidate cannot be opened. A disk hit takes its
// type from the extension when `want_type` is set.
int32_t FindDataFile(ResourceLocator* locator, const char* name, bool want_type);

// Loads what FindDataFile located with its source's loader: 0, -2 or -3 (the loader reported).
int32_t LoadLocatedFile(ResourceLocator* locator, const char* name);

// Find and load in one step, holding the engine lock so that a bank or compiler-output row cannot
// change between the two. Returns the source (1..4) after loading, 0 when not found and -2 when a
// pack that holds a candidate cannot be opened (neither is reported), -3 when the loader failed (it
// has reported).
int32_t LoadDataFile(ResourceLocator* locator, const char* name, bool want_type);

// LoadDataFile that also reports the lookup failures: 104060 when not found and 901040 when a pack
// cannot be opened (fatal, with the name). 0 on success, -1 otherwise.
int32_t ReadDataFile(ResourceLocator* locator, const char* name, bool want_type);

// Normalises the name (lower case, '\' separators), then looks it up once (a name with an extension
// of its class, or class 9) or with each extension of the configured order. `output_name` receives
// the name that was found (what the caller loads and shows). 0 found, 1 not found, -1 when a lookup
// failed with -2 or the name cannot be normalised.
// A caller that loads what it found holds EngineLock() across both calls (or uses LoadMediaFile).
int32_t LocateMediaFile(ResourceLocator* locator, std::string* output_name, const char* name,
                        int32_t media_class);

// LocateMediaFile and the load, under the engine lock as LoadDataFile. 0 loaded, 1 not found
// (nothing reported), -1 when a pack cannot be opened (nothing reported) or the name cannot be
// normalised, -3 when the loader failed (it has reported).
int32_t LoadMediaFile(ResourceLocator* locator, std::string* output_name, const char* name,
                      int32_t media_class);

// Resets the lookup state, the banks and the compiler output; the loose-file root becomes `root`.
void InitResourceLookup(const std::string& root);
void ShutdownResourceLookup();

}  // namespace korvel
