// The preload banks.
#include "resource/preload_banks.h"

#include <cstring>
#include <mutex>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/error_report.h"

namespace korvel {

PreloadBank g_preload_banks[kPreloadBankCount];

int32_t FindInPreloadBanks(ResourceLocator* locator, const char* name) {
  std::lock_guard<std::recursive_mutex> lock(EngineLock());
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
  std::lock_guard<std::recursive_mutex> lock(EngineLock());
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
  std::lock_guard<std::recursive_mutex> lock(EngineLock());
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

void ShutdownPreloadBanks() {
  std::lock_guard<std::recursive_mutex> lock(EngineLock());
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
