// Fuzz target: the REGEDIT4 text of registry.reg, parsed and then asked for the values it holds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "commands/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvel;
  RegistryData registry;
  ParseRegistryText(std::string_view(reinterpret_cast<const char*>(data), size), &registry);
  // Every stored value is found again by its key and name; keys hold no trailing '\'.
  for (const RegistryKey& key : registry.keys) {
    if (!key.path.empty() && key.path.back() == '\\') __builtin_trap();
    for (const RegistryValue& value : key.values) {
      if (FindRegistryValue(registry, key.path, value.name) == nullptr) __builtin_trap();
    }
  }
  FindRegistryValue(registry, "HKEY_CURRENT_USER\\Software", "");
  return 0;
}
