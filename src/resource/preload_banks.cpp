// The preload banks.
#include "resource/preload_banks.h"

#include <cstring>
#include <mutex>
#include <string>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "resource/data_file_lookup.h"

namespace korvel {

PreloadBank g_preload_banks[kPreloadBankCount];

int32_t FindInPreloadBanks(ResourceLocator* locator, const char* name) {
  std::lock_guard<EngineMutex> lock(EngineLock());
  for (int32_t bank = 0; bank < kPreloadBankCount; ++bank) {
    const PreloadBank& b = g_preload_banks[bank];
    for (int32_t row = 0; row < b.count && row < kPreloadBankRows; ++row) {
      const char* row_name = b.rows[row].name;
      if (row_name != nullptr && NamesEqualNoCase(row_name, name)) {
        locator->source = kSourcePreloadBank;
        locator->bank = bank;
        locator->bank_row = row;
        locator->type = static_cast<uint8_t>(b.rows[row].type);
        return kSourcePreloadBank;
      }
    }
  }
  return 0;
}

int32_t LoadFromPreloadBank(ResourceLocator* locator, const char* name) {
  std::lock_guard<EngineMutex> lock(EngineLock());
  const int32_t bank = locator->bank;
  const int32_t row = locator->bank_row;
  if (bank < 0 || bank >= kPreloadBankCount || row < 0 || row >= g_preload_banks[bank].count ||
      row >= kPreloadBankRows) {
    ReportError(104010, true, name);
    return -3;
  }
  const PreloadRow& r = g_preload_banks[bank].rows[row];
  auto* copy = static_cast<uint8_t*>(AllocZeroed(r.size));
  if (copy == nullptr) {
    ReportError(104030, true, name);
    return -3;
  }
  if (r.size > 0 && r.data != nullptr) std::memcpy(copy, r.data, r.size);
  locator->data = copy;
  locator->size = r.size;
  return 0;
}

int32_t PushPreloadBankRow(int32_t bank, const char* name, uint32_t type, uint8_t* data,
                           uint32_t size) {
  std::lock_guard<EngineMutex> lock(EngineLock());
  if (bank < 0 || bank >= kPreloadBankCount || g_preload_banks[bank].count >= kPreloadBankMaxRows) {
    FreeBlock(data);
    return -1;
  }
  auto* copy = static_cast<char*>(AllocZeroed(kPreloadNameCapacity));
  if (copy == nullptr) {
    FreeBlock(data);
    return -1;
  }
  std::strncpy(copy, name, kPreloadNameCapacity - 1);
  PreloadRow& r = g_preload_banks[bank].rows[g_preload_banks[bank].count++];
  r.name = copy;
  r.size = size;
  r.type = type;
  r.data = data;
  return 0;
}

int32_t RemovePreloadBankEntry(int32_t bank, int32_t row) {
  std::lock_guard<EngineMutex> lock(EngineLock());
  if (bank < 0 || bank >= kPreloadBankCount) return -1;
  PreloadBank& b = g_preload_banks[bank];
  if (row < 0 || row >= b.count || b.count > kPreloadBankRows) return -1;
  FreeBlock(b.rows[row].name);
  for (int32_t r = row; r + 1 < b.count; ++r) b.rows[r] = b.rows[r + 1];
  b.rows[b.count - 1] = PreloadRow{};
  return 0;
}

int32_t AddFileToPreloadBank(int32_t bank, const char* name, int32_t media_class) {
  if (bank < 0 || bank >= kPreloadBankCount) return -1;
  ResourceLocator locator{};
  std::string located;
  char* copy = nullptr;
  {
    std::lock_guard<EngineMutex> lock(EngineLock());
    PreloadBank& b = g_preload_banks[bank];
    const int32_t found = LocateMediaFile(&locator, &located, name, media_class);
    if (found < 0) return -1;
    if (found != 0) return 0;
    // A row keeps the name in a 261-byte buffer: a longer name could not be found again.
    if (located.size() >= static_cast<size_t>(kPreloadNameCapacity)) return -1;
    copy = static_cast<char*>(AllocZeroed(kPreloadNameCapacity));
    if (copy == nullptr) return -1;
    std::memcpy(copy, located.data(), located.size());
    if (locator.source == kSourcePreloadBank && locator.bank == bank) {
      // Already here: the row becomes the newest one, its data kept.
      const PreloadRow kept = b.rows[locator.bank_row];
      RemovePreloadBankEntry(bank, locator.bank_row);
      b.rows[b.count - 1] = PreloadRow{copy, kept.size, kept.type, kept.data};
      return 0;
    }
    // Rows in memory are copied while their source cannot change.
    if (locator.source != kSourceDisk && locator.source != kSourcePack &&
        LoadLocatedFile(&locator, located.c_str()) != 0) {
      FreeBlock(copy);
      return -1;
    }
  }
  // Files and pack entries are read without the lock: the sound thread must not wait for the
  // disk. The lock is taken again only to publish the row.
  if ((locator.source == kSourceDisk || locator.source == kSourcePack) &&
      LoadLocatedFile(&locator, located.c_str()) != 0) {
    FreeBlock(copy);
    return -1;
  }
  std::lock_guard<EngineMutex> lock(EngineLock());
  PreloadBank& b = g_preload_banks[bank];
  if (b.count >= kPreloadBankMaxRows) {
    FreeBlock(b.rows[0].name);
    FreeBlock(b.rows[0].data);
    for (int32_t r = 0; r + 1 < b.count; ++r) b.rows[r] = b.rows[r + 1];
    b.rows[b.count - 1] = PreloadRow{copy, locator.size, locator.type, locator.data};
  } else {
    b.rows[b.count++] = PreloadRow{copy, locator.size, locator.type, locator.data};
  }
  locator.data = nullptr;  // the bank owns it now
  return 0;
}

void ShutdownPreloadBanks() {
  std::lock_guard<EngineMutex> lock(EngineLock());
  for (auto& bank : g_preload_banks) {
    for (int32_t row = 0; row < bank.count && row < kPreloadBankRows; ++row) {
      FreeBlock(bank.rows[row].name);
      FreeBlock(bank.rows[row].data);
    }
    std::memset(&bank, 0, sizeof(bank));
  }
}

void InitPreloadBanks() { ShutdownPreloadBanks(); }

}  // namespace korvel
