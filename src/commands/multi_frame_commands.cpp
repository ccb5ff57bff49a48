// Commands 92, 93 and 94: multi-frame image files shown frame by frame on a layer.
#include "commands/multi_frame_commands.h"

#include <string>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "core/shift_jis.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "image/image_decode.h"
#include "image/multi_frame_decode.h"
#include "layer/dirty_rects.h"
#include "layer/layer_paths.h"
#include "layer/layer_record.h"
#include "resource/data_file_lookup.h"
#include "script/command_table.h"
#include "script/decoded_arguments.h"
#include "script/script_data.h"
#include "script/variables.h"

namespace korvel {

MultiFrameState g_multi_frame;

namespace {

constexpr int32_t kErrorNoSuchLayer = 101250;
constexpr int32_t kErrorUnreadable = 104010;

std::string g_file_name;  // the loaded file's normalised name, for reports

}  // namespace

void ReleaseMultiFrameFile() {
  FreeBlock(g_multi_frame.image);
  g_multi_frame = MultiFrameState{};
  g_file_name.clear();
}

int32_t LoadMultiFrameFile(const char* script_name) {
  ReleaseMultiFrameFile();
  const std::string name = LookupName(script_name);
  ResourceLocator locator{};
  if (ReadDataFile(&locator, name.c_str(), false) != 0) return -1;
  MultiFrameView view;
  if (OpenMultiFrameFile(locator.data, locator.size, &view, nullptr) != 0) {
    FreeLocatorData(&locator);
    ReportScriptError(kErrorUnreadable, true, name);
    return -1;
  }
  g_multi_frame.image = locator.data;
  g_multi_frame.size = locator.size;
  g_multi_frame.view = view;
  g_file_name = name;
  return 0;
}

int32_t ShowMultiFrame(NamedTreeNode* node, int64_t frame) {
  LayerData* layer = LayerOf(node);
  const uint32_t count = g_multi_frame.view.frame_count;
  if (layer == nullptr || g_multi_frame.image == nullptr || count == 0) return 0;
  const int64_t last = int64_t{count} - 1;
  const auto index = static_cast<uint32_t>(frame < 0 ? 0 : (frame > last ? last : frame));
  const MultiFramePart part = MultiFrameFramePart(g_multi_frame.view, index);

  // Into a new buffer, so a part that fails halfway leaves the layer's picture whole.
  DecodedImage image;
  int32_t width = 0, height = 0;
  const DecodeStatus status = DecodeMultiFrame(part, kDefaultImageLimits, &image, &width, &height);
  if (status.result != 0) {
    if (status.error == kErrorImageTooLarge) {
      ReportImageSizeTooLarge(width, height);
    } else if (status.error == kErrorNoMemory) {
      ReportError(kErrorLoadNoMemory, true, g_file_name);
    } else {
      ReportScriptError(kErrorJpegFailed, false, g_file_name);
    }
    return -1;
  }
  if (image.width != layer->width || image.height != layer->height) MarkDirtyUpward(node);
  FreeBlock(layer->pixels);
  layer->pixels = image.pixels;
  layer->width = image.width;
  layer->height = image.height;
  layer->has_alpha = g_multi_frame.view.alpha_flag == 1 ? 1 : 0;
  MarkLayerWhollyChanged(layer);
  MarkDirtyUpward(node);
  return 0;
}

int32_t RunMultiFrameShowCommand() {
  if (g_argument_decoder(kCommandMultiFrameShow) != 0) return -1;
  NamedTreeNode* node = nullptr;
  if (const DecodedArgument* a = FindArg(0)) {
    const char* text = a->text != nullptr ? a->text : "";
    LayerPath path{};
    if (NormalizeLayerPath(std::string_view(text, a->text != nullptr ? a->text_length : 0),
                           &path) != 0) {
      return -1;
    }
    node = FindLayerQuiet(path.text, path.group);
    if (LayerOf(node) == nullptr) {
      ReportScriptError(kErrorNoSuchLayer, true, CommandName(kCommandMultiFrameShow),
                        std::string(text));
      return -1;
    }
  }
  if (ArgGiven(1) && LoadMultiFrameFile(ArgText(1)) != 0) return -1;
  if (ArgGiven(2) && node != nullptr && ShowMultiFrame(node, ArgValue(2)) != 0) return -1;
  return 0;
}

int32_t RunMultiFrameReleaseCommand() {
  if (g_argument_decoder(kCommandMultiFrameRelease) != 0) return -1;
  ReleaseMultiFrameFile();
  return 0;
}

int32_t RunMultiFrameInfoCommand() {
  if (g_argument_decoder(kCommandMultiFrameInfo) != 0) return -1;
  const DecodedArgument* target = FindArg(0);
  if (target == nullptr) return 0;
  const MultiFrameView& view = g_multi_frame.view;
  const uint32_t answers[4] = {view.frame_count, view.value_a, view.value_b, view.value_c};
  for (uint8_t param = 1; param <= 4; ++param) {
    if (!ArgGiven(param)) continue;
    SetVarNumberElement(target->var_number, target->element_index, int64_t{answers[param - 1]});
    break;
  }
  return 0;
}

void RegisterMultiFrameCommandHandlers() {
  RegisterCommandHandler(kCommandMultiFrameShow, RunMultiFrameShowCommand);
  RegisterCommandHandler(kCommandMultiFrameRelease, RunMultiFrameReleaseCommand);
  RegisterCommandHandler(kCommandMultiFrameInfo, RunMultiFrameInfoCommand);
}

void InitMultiFrameState() { ShutdownMultiFrameState(); }

void ShutdownMultiFrameState() {
  ReleaseMultiFrameFile();
  ShutdownMultiFrameDecoder();
}

}  // namespace korvel
