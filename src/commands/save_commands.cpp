// Commands 69 and 70, and the layer restore of command 40.
#include "commands/save_commands.h"

#include <cstring>
#include <string>

#include "commands/save_data_file.h"
#include "core/error_report.h"
#include "core/save_blocks.h"
#include "core/show_message.h"
#include "layer/dirty_rects.h"
#include "layer/layer_block_codec.h"
#include "layer/layer_create.h"
#include "layer/layer_paths.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/load_command.h"
#include "core/byte_reader.h"
#include "script/save_format.h"
#include "script/script_data.h"

namespace korvel {

namespace {

constexpr int32_t kErrorNoSuchLayer = 101250;


// A layer by a script path: the image layer, else the group of that name.
NamedTreeNode* FindLayerByScriptPath(const char* text, uint8_t command, bool* failed) {
  *failed = false;
  LayerPath path{};
  if (NormalizeLayerPath(text, &path) != 0) {
    *failed = true;
    return nullptr;
  }
  NamedTreeNode* node = FindLayerOrGroup(path);
  if (node == nullptr) {
    ReportScriptError(kErrorNoSuchLayer, true, CommandName(command), std::string(text));
    *failed = true;
    return nullptr;
  }
  return node;
}

int32_t FindLoadLayer(const char* text, void** node) {
  bool failed = false;
  *node = FindLayerByScriptPath(text, kCommandLoad, &failed);
  return failed ? -1 : 0;
}

int32_t RestoreLoadLayer(void* node, std::span<const uint8_t> raw) {
  return RestoreSavedLayer(static_cast<NamedTreeNode*>(node), raw);
}

void ReportBlockFailure(int32_t status) {
  if (status == kSaveBlockTooLarge) {
    ReportScriptErrorPlain(kErrSaveDataTooLarge, true);
  } else if (status == kSaveBlockNoMemory) {
    ShowMessageF("", "Compress Error.");
  } else {
    ReportScriptErrorPlain(900000, true);
  }
}

}  // namespace

int32_t RestoreSavedLayer(NamedTreeNode* node, std::span<const uint8_t> raw) {
  if (raw.size() < 8 || LoadU32(raw.data()) != kSavedLayerRecordSize) {
    ReportScriptErrorPlain(kErrLoadLayerRecordSize, true);
    return -1;
  }
  if (raw.size() < kSavedLayerHead) {
    ShowMessageF("", "Load Error.");
    return -1;
  }
  const uint64_t pixel_bytes = LoadU32(raw.data() + 4);
  const std::span<const uint8_t> block = raw.subspan(8, kSavedLayerRecordSize);
  int32_t width = 0, height = 0;
  ReadLayerBlockSides(block, &width, &height);
  if (width > kMaxLayerSide) {
    ReportImageSizeTooLarge(width, height);
    return -1;
  }
  if (width < 1 || height < 1 || height > kMaxLayerSide ||
      pixel_bytes != uint64_t(width) * 4 * uint64_t(height) ||
      raw.size() != kSavedLayerHead + pixel_bytes) {
    ShowMessageF("", "Load Error.");
    return -1;
  }
  LayerData* old = LayerOf(node);
  // The new record is built beside the old one and takes its place only when whole.
  LayerData* fresh = CreateLayerDataForNode(node);
  node->payload = old;
  if (fresh == nullptr) return -1;
  uint8_t* pixels = AllocLayerPixels(width, height, node->name);
  if (pixels == nullptr) {
    ReleaseLayerData(fresh);
    return -1;
  }
  if (DecodeLayerBlock(block, pixel_bytes, fresh) != LayerBlockStatus::kOk) {
    std::free(pixels);
    ReleaseLayerData(fresh);
    ShowMessageF("", "Load Error.");
    return -1;
  }
  std::memcpy(pixels, raw.data() + kSavedLayerHead, pixel_bytes);
  std::free(fresh->pixels);
  fresh->pixels = pixels;
  if (old != nullptr) {
    fresh->is_window_root = old->is_window_root;
    fresh->is_message_target = old->is_message_target;
  }
  node->payload = fresh;
  ReleaseLayerData(old);
  if (NamedTreeNode* parent = node->parent) {
    UnlinkTreeNode(node);
    InsertChildNode(parent, node, 1);
  }
  MarkLayerWhollyChanged(fresh);
  MarkDirtyUpward(node);
  g_layer_state.layers_changed = 1;
  return 0;
}

int32_t RunSaveCommand() {
  if (g_argument_decoder(kCommandSave) != 0) return -1;
  NamedTreeNode* layer = nullptr;
  if (ArgGiven(3)) {
    bool failed = false;
    layer = FindLayerByScriptPath(ArgText(3), kCommandSave, &failed);
    if (failed) return -1;
  }
  std::string folder, file_name;
  if (ArgGiven(0)) {
    const int32_t status = SaveFilePath(ArgText(0), &folder, &file_name);
    if (status != 0) {
      ReportSaveNameError(status, kCommandSave, ArgText(0));
      return -1;
    }
  }
  if (ArgGiven(1)) {
    const int64_t slot = static_cast<int32_t>(static_cast<uint32_t>(ArgValue(1)));
    if (slot < 1 || slot > kSaveSlotCount) {
      ReportScriptError(101000, true, CommandName(kCommandSave), ParameterName(kCommandSave, 1),
                        slot, int64_t{1}, int64_t{kSaveSlotCount});
      return -1;
    }
    if (g_save_blocks.sizes[slot - 1] != 0) {
      ReportScriptError(kErrSaveSlotPending, true, CommandName(kCommandSave),
                        ParameterName(kCommandSave, 1), slot);
      return -1;
    }
    int32_t status = 0;
    if (layer != nullptr) {
      status = BuildLayerSaveBlock(static_cast<uint32_t>(slot), *LayerOf(layer));
    } else {
      const DecodedArgument* target = FindArg(2);
      const VariableRecord* var = target != nullptr ? FindVariable(target->var_number) : nullptr;
      status = var == nullptr ? kSaveBlockFailed
                              : BuildVariableSaveBlock(static_cast<uint32_t>(slot), *var,
                                                       target->whole != 0, target->element_index);
    }
    if (status != 0) {
      ReportBlockFailure(status);
      return -1;
    }
  }
  if (ArgGiven(0)) {
    const SaveWriteResult result = WriteSaveFile(folder, file_name);
    if (result.code == kErrSaveOpen) {
      ReportScriptError(kErrSaveOpen, true, CommandName(kCommandSave), result.path,
                        int64_t{result.error}, SaveErrorText(result.error));
      return -1;
    }
    if (result.code != 0) {
      ReportScriptErrorPlain(result.code, true);
      return -1;
    }
  }
  return 0;
}

int32_t RunSaveClearCommand() {
  if (g_argument_decoder(kCommandSaveClear) != 0) return -1;
  FreeIdBuffers(-1);
  return 0;
}

void RegisterSaveCommandHandlers() {
  RegisterCommandHandler(kCommandLoad, RunLoadCommand);
  RegisterCommandHandler(kCommandSave, RunSaveCommand);
  RegisterCommandHandler(kCommandSaveClear, RunSaveClearCommand);
  LoadLayerHooks hooks;
  hooks.find_layer = FindLoadLayer;
  hooks.restore_layer = RestoreLoadLayer;
  SetLoadLayerHooks(hooks);
}

}  // namespace korvel
