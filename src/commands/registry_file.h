// The registry of a game: the REGEDIT4 text file `registry.reg` in the game folder (UTF-8, read as
// code page 932 text), with string, dword and hex values and each key's default value "@".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

struct RegistryValue {
  std::string name;  // code page 932; "" is the key's default value
  uint32_t type;     // 1 string, 4 dword, 3 binary, n for hex(n)
  std::string data;  // the value's bytes as the registry returns them (strings end with a NUL)
};

struct RegistryKey {
  std::string path;  // code page 932, '\' separators, no trailing '\'
  std::vector<RegistryValue> values;
};

struct RegistryData {
  std::vector<RegistryKey> keys;
};

// Parses the file's bytes. A file without the "REGEDIT4" header (or the version 5 header) holds
// nothing; lines that cannot be read are skipped. Later values replace earlier ones.
void ParseRegistryText(std::string_view utf8, RegistryData* out);

// The value `name` (code page 932; empty: the default value) of key `path`, names compared without
// regard to ASCII case. Null when missing.
const RegistryValue* FindRegistryValue(const RegistryData& data, std::string_view path,
                                       std::string_view name);

}  // namespace korvel
