// The four preload banks: data files that the file command placed in memory, oldest row first.
// Rows change only under the engine lock; lookups that load a row hold it from find to load.
#pragma once

#include <cstdint>

#include "resource/resource_locator.h"

namespace korvel {

inline constexpr int32_t kPreloadBankCount = 4;
inline constexpr int32_t kPreloadBankRows = 513;     // room
inline constexpr int32_t kPreloadBankMaxRows = 512;  // in use at most
inline constexpr int32_t kPreloadNameCapacity = 261;

struct PreloadRow {
  char* name;  // owned 261-byte buffer: the name as located
  uint32_t size;
  uint32_t type;
  uint8_t* data;  // owned heap block
};

struct PreloadBank {
  int32_t count;
  PreloadRow rows[kPreloadBankRows];
};

extern PreloadBank g_preload_banks[kPreloadBankCount];

// Banks 0..3, rows in order, names compared without regard to case: the first match sets source 4,
// the bank, the row and the row's type. Returns 4 or 0. Takes the engine lock.
int32_t FindInPreloadBanks(ResourceLocator* locator, const char* name);

// Copies the located row's bytes into a new block in the locator. 0, or -3 after reporting 104030
// (no memory) or 104010 (the row no longer exists), both fatal, with `name`.
int32_t LoadFromPreloadBank(ResourceLocator* locator, const char* name);

// Appends a row that takes over `data` (a heap block of `size` bytes). 0, or -1 when the bank is
// full, the bank number is wrong or memory runs out (the data is then freed).
int32_t PushPreloadBankRow(int32_t bank, const char* name, uint32_t type, uint8_t* data,
                           uint32_t size);

// Loads a data file into bank `bank` (0..3) as the file command does: `media_class` 0 completes a
// name without extension with the image extensions, 1 with the sound extensions. A file already
// in this bank becomes its newest row without being read again; a full bank (512 rows) drops its
// oldest row first. 0 (also when no source has the file: nothing happens), or -1 when the lookup
// or the load failed (a failed load has reported). Holds the engine lock throughout.
int32_t AddFileToPreloadBank(int32_t bank, const char* name, int32_t media_class);

// Frees row `row`'s name (not its data) and moves the rows after it down by one; the count stays
// (the caller stores the row again).
int32_t RemovePreloadBankEntry(int32_t bank, int32_t row);

// Frees every row of every bank.
void InitPreloadBanks();
void ShutdownPreloadBanks();

}  // namespace korvel
