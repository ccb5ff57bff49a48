// Command 61.
#include "commands/registry_command.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

#include "commands/registry_file.h"
#include "core/program_paths.h"
#include "core/shift_jis.h"
#include "platform/file_system.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/variables.h"

namespace korvel {

namespace {

// The registry's answer buffer holds 1024 bytes; a longer value does not fit and fails.
constexpr size_t kValueBuffer = 1024;

constexpr std::string_view kRoots[] = {
    "HKEY_CLASSES_ROOT\\",     "HKEY_CURRENT_USER\\", "HKEY_LOCAL_MACHINE\\",
    "HKEY_USERS\\",            "HKEY_PERFORMANCE_DATA\\", "HKEY_CURRENT_CONFIG\\",
    "HKEY_DYN_DATA\\"};

struct RegistryState {
  std::string folder;
  bool loaded = false;
  RegistryData data;
};

RegistryState g_registry;

const RegistryData& Registry() {
  if (!g_registry.loaded) {
    g_registry.loaded = true;
    std::string path;
    bool is_folder = false;
    uint8_t* bytes = nullptr;
    size_t size = 0;
    const std::string& folder = g_registry.folder.empty() ? g_paths.game_folder : g_registry.folder;
    if (platform::ResolvePath(folder, "registry.reg", &path, &is_folder) ==
            platform::FileStatus::kOk &&
        !is_folder && platform::ReadWholeFile(path, &bytes, &size) == platform::FileStatus::kOk) {
      ParseRegistryText(std::string_view(reinterpret_cast<const char*>(bytes), size),
                        &g_registry.data);
      std::free(bytes);
    }
  }
  return g_registry.data;
}

}  // namespace

void ResetRegistry(const std::string& game_folder) {
  g_registry = RegistryState{};
  g_registry.folder = game_folder;
}

int32_t RunRegistryCommand() {
  if (g_argument_decoder(kCommandRegistry) != 0) return -1;
  const DecodedArgument* target = FindArg(2);
  if (target == nullptr) return 0;
  std::string path = ArgText(0);
  SlashToBackslash(path.data());
  bool rooted = false;
  for (const std::string_view root : kRoots) rooted = rooted || path.starts_with(root);
  if (!rooted) return 0;

  const RegistryValue* value = FindRegistryValue(Registry(), path, ArgText(1));
  const VariableRecord* var = FindVariable(target->var_number);
  if (var == nullptr) return 0;
  if (value != nullptr && value->data.size() <= kValueBuffer) {
    // The bytes as text: up to the first zero byte, and never past the value's own length.
    if (var->type == kVarString) {
      const size_t length = strnlen(value->data.data(), value->data.size());
      SetVarStringElementBytes(target->var_number, target->element_index, value->data.data(),
                               length);
    }
    return 0;
  }
  SetVarElementEmpty(target->var_number, target->element_index);
  return 0;
}

void RegisterRegistryCommandHandler() {
  RegisterCommandHandler(kCommandRegistry, RunRegistryCommand);
}

}  // namespace korvel
