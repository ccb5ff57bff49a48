// The compiler output source.
#include "resource/compiler_output.h"

#include <cstring>
#include <mutex>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/error_report.h"

namespace korvel {

CompilerOutput g_compiler_output;

int32_t FindInCompilerOutput(ResourceLocator* locator, const char* name) {
  std::lock_guard<EngineMutex> lock(EngineLock());
  const auto& files = g_compiler_output.files;
  for (size_t i = 0; i < files.size(); ++i) {
    if (NamesEqualNoCase(files[i].name, name)) {
      locator->source = kSourceCompilerOutput;
      locator->compiler_index = static_cast<int32_t>(i);
      locator->type = kTypeOther;
      return kSourceCompilerOutput;
    }
  }
  return 0;
}

int32_t LoadFromCompilerOutput(ResourceLocator* locator, const char* name) {
  std::lock_guard<EngineMutex> lock(EngineLock());
  const auto& files = g_compiler_output.files;
  const int32_t index = locator->compiler_index;
  if (index < 0 || static_cast<size_t>(index) >= files.size()) {
    ReportError(104010, true, name);
    return -3;
  }
  const CompilerOutputFile& file = files[static_cast<size_t>(index)];
  auto* copy = static_cast<uint8_t*>(AllocZeroed(file.size));
  if (copy == nullptr) {
    ReportError(104030, true, name);
    return -3;
  }
  if (file.size > 0) std::memcpy(copy, file.data, file.size);
  locator->data = copy;
  locator->size = file.size;
  return 0;
}

int32_t RegisterCompilerOutputFile(const char* name, const uint8_t* data, uint32_t size) {
  const size_t length = std::strlen(name);
  auto* name_copy = static_cast<char*>(AllocZeroed(length + 1));
  auto* data_copy = static_cast<uint8_t*>(AllocZeroed(size));
  if (name_copy == nullptr || data_copy == nullptr) {
    FreeBlock(name_copy);
    FreeBlock(data_copy);
    return -1;
  }
  std::memcpy(name_copy, name, length);
  if (size > 0) std::memcpy(data_copy, data, size);
  std::lock_guard<EngineMutex> lock(EngineLock());
  g_compiler_output.files.push_back({name_copy, size, data_copy});
  return 0;
}

void ShutdownCompilerOutput() {
  std::lock_guard<EngineMutex> lock(EngineLock());
  for (auto& file : g_compiler_output.files) {
    FreeBlock(file.name);
    FreeBlock(file.data);
  }
  g_compiler_output.files.clear();
}

void InitCompilerOutput() { ShutdownCompilerOutput(); }

}  // namespace korvel
