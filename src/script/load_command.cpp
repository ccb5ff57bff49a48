// Command 40: every check and allocation before the target changes.
#include "script/load_command.h"

#include "core/engine_settings.h"
#include "core/error_report.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "platform/file_system.h"
#include "script/decoded_arguments.h"
#include "script/save_format.h"
#include "script/script_data.h"

namespace korvel {

namespace {

LoadLayerHooks g_load_layer_hooks;

// The declaring command of each variable type, for the type-mismatch message.
uint32_t DeclaringCommand(uint8_t type) {
  switch (type) {
    case kVarInt: return 36;
    case kVarReal: return 20;
    case kVarString: return 75;
    default: return 36;
  }
}

}  // namespace

void SetLoadLayerHooks(const LoadLayerHooks& hooks) { g_load_layer_hooks = hooks; }

int32_t SaveFilePath(std::string_view script_name, std::string* folder, std::string* file_name) {
  std::string sjis_name;
  const int32_t status = MakeSaveFileName(script_name, &sjis_name);
  if (status != 0) return status;
  *folder = g_save_settings.save_folder;
  while (folder->size() > 1 && folder->back() == '/') folder->pop_back();
  *file_name = platform::SjisPathToUtf8(sjis_name);
  return 0;
}

std::string SaveErrorText(int error) {
  if (error >= 0 && error < kRuntimeErrorTextCount && g_script.runtime_errors[error] != nullptr &&
      g_script.runtime_errors[error][0] != '\0') {
    return g_script.runtime_errors[error];
  }
  return "File error.";
}

void ReportSaveNameError(int32_t code, uint8_t command, std::string_view script_name) {
  const std::string name(script_name);
  if (code == kErrSaveOpen) {
    ReportScriptError(code, true, CommandName(command), name, int64_t{22}, SaveErrorText(22));
  } else {
    ReportScriptError(code, true, CommandName(command), name);
  }
}

int32_t LoadSaveSlot(uint8_t command, std::string_view script_name, int64_t slot, uint32_t number,
                     bool whole, int64_t element, void* layer) {
  std::string folder, file_name;
  const int32_t name_status = SaveFilePath(script_name, &folder, &file_name);
  if (name_status != 0) {
    ReportSaveNameError(name_status, command, script_name);
    return -1;
  }
  if (slot < 1 || slot > kSaveSlotCount) {
    ReportScriptError(101000, true, CommandName(command), ParameterName(command, 1), slot,
                      int64_t{1}, int64_t{kSaveSlotCount});
    return -1;
  }
  std::string path;
  bool is_folder = false;
  SaveEntry entry;
  SaveReadStatus status = SaveReadStatus::kOpenFailed;
  if (platform::ResolvePath(folder, file_name, &path, &is_folder) == platform::FileStatus::kOk &&
      !is_folder) {
    status = ReadSaveEntry(path, static_cast<uint32_t>(slot), &entry);
  }
  switch (status) {
    case SaveReadStatus::kOk: break;
    case SaveReadStatus::kOpenFailed:
      ReportScriptError(kErrLoadOpen, true, CommandName(command), std::string(script_name));
      return -1;
    case SaveReadStatus::kBadMagic: ReportScriptErrorPlain(kErrSaveMagic, true); return -1;
    case SaveReadStatus::kBadVersion: ReportScriptErrorPlain(kErrSaveVersion, true); return -1;
    case SaveReadStatus::kEmptySlot:
      ReportScriptError(kErrLoadEmptySlot, true, CommandName(command), std::string(script_name),
                        slot);
      return 0;
    case SaveReadStatus::kNoMemory: {
      static const std::string text = Sjis("[Load]メモリ不足エラーです。");
      ShowMessageF("", text);
      return -1;
    }
    case SaveReadStatus::kDamaged:
      ShowMessageF("", "Load Error.");
      return -1;
  }
  if (layer != nullptr) {
    if (entry.kind != kSaveKindLayer) {
      ReportScriptErrorPlain(kErrLoadVariableIntoLayer, true);
      return -1;
    }
    if (g_load_layer_hooks.restore_layer == nullptr) return -1;
    return g_load_layer_hooks.restore_layer(layer, entry.raw) == 0 ? 0 : -1;
  }
  if (entry.kind != kSaveKindVariable) {
    ReportScriptErrorPlain(kErrLoadLayerIntoVariable, true);
    return -1;
  }
  DecodedVariable decoded;
  const int32_t code = DecodeVariablePayload(entry.raw, number, whole, element, &decoded);
  if (code == kErrLoadTypeMismatch) {
    const VariableRecord* var = FindVariable(number);
    ReportScriptError(code, true, CommandName(command),
                      CommandName(DeclaringCommand(var != nullptr ? var->type : 0)));
    return -1;
  }
  if (code != 0) {
    ReportScriptErrorPlain(code, true);
    return -1;
  }
  return StoreDecodedVariable(decoded, number, whole, element);
}

int32_t RunLoadCommand() {
  if (g_argument_decoder(kCommandLoad) != 0) return -1;
  void* layer = nullptr;
  if (ArgGiven(3)) {
    if (g_load_layer_hooks.find_layer == nullptr ||
        g_load_layer_hooks.find_layer(ArgText(3), &layer) != 0) {
      return -1;
    }
  }
  const DecodedArgument* target = FindArg(2);
  if (layer == nullptr && target == nullptr) {
    ReportScriptErrorPlain(900000, true);
    return -1;
  }
  const int64_t slot = static_cast<int32_t>(static_cast<uint32_t>(ArgValue(1)));
  return LoadSaveSlot(kCommandLoad, ArgText(0), slot, target != nullptr ? target->var_number : 0,
                      target != nullptr && target->whole != 0,
                      target != nullptr ? target->element_index : 0, layer);
}

}  // namespace korvel
