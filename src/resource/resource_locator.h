// The result of a data-file lookup (where a named file was found) and, after loading, the file's
// bytes; the type codes by extension; name comparison without regard to case.
#pragma once

#include <cstdint>
#include <string_view>

namespace korvel {

// Sources of data files.
enum : uint8_t {
  kSourceNone = 0,
  kSourceDisk = 1,
  kSourcePack = 2,
  kSourceCompilerOutput = 3,
  kSourcePreloadBank = 4,
};

// Type codes by extension.
enum : uint8_t {
  kTypeOther = 0,
  kTypeBmp = 1,
  kTypePng = 2,
  kTypeJpg = 3,
  kTypeGif = 4,
  kTypeWav = 5,
  kTypeOgg = 6,
  kTypePsd = 7,
  kTypeKcg = 8,
};

struct ResourceLocator {
  uint32_t size;   // set by the loader
  uint8_t* data;   // set by the loader: a heap block the caller frees (FreeLocatorData)
  uint8_t source;  // kSource*
  uint8_t type;    // type code
  int32_t pack_index_position;  // the entry's place in the pack index
  int32_t pack_number;          // which mounted pack holds the entry
  int64_t position;             // directory position just behind the entry's type byte
  int32_t compiler_index;
  int32_t bank;
  int32_t bank_row;
};

// The type code of a name by its ending (".bmp", ".png", ".jpg", ".gif", ".psd", ".kcg", ".wav",
// ".ogg", without regard to case); 0 for anything else.
uint8_t TypeFromExtension(std::string_view name);

// Frees the locator's data and clears size and data.
void FreeLocatorData(ResourceLocator* locator);

// Equal names without regard to ASCII case; double-byte characters compare exactly.
bool NamesEqualNoCase(std::string_view a, std::string_view b);

}  // namespace korvel
