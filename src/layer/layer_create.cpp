// Layer creation and image loading.
#include "layer/layer_create.h"

#include <cstring>
#include <mutex>
#include <string>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "layer/layer_payload.h"
#include "core/show_message.h"
#include "core/sjis_text.h"
#include "image/gif_frames.h"
#include "layer/image_layer.h"
#include "layer/layer_record.h"
#include "resource/data_file_lookup.h"

namespace korvel {

namespace {

constexpr int32_t kErrorNoMemory = 100010;
constexpr int32_t kErrorLoadNoMemory = 104030;

// The record becomes a 1 x 1 image of one zero pixel without alpha.
int32_t MakeBlankImage(LayerData* layer, const char* name) {
  uint8_t* pixels = AllocLayerPixels(1, 1, name);
  if (pixels == nullptr) return -1;
  FreeBlock(layer->pixels);
  layer->pixels = pixels;
  layer->width = 1;
  layer->height = 1;
  layer->has_alpha = 0;
  DestroyGifFrameTable(layer->gif_frames);
  layer->gif_frames = nullptr;
  return 0;
}

}  // namespace

uint8_t* AllocLayerPixels(int64_t width, int64_t height, const char* name) {
  const size_t bytes = LayerBufferBytes(width, height);
  if (bytes == 0) {
    ReportImageSizeTooLarge(width, height);
    return nullptr;
  }
  auto* pixels = static_cast<uint8_t*>(AllocZeroed(bytes));
  if (pixels == nullptr) {
    if (name != nullptr) {
      ReportError(kErrorLoadNoMemory, true, name);
    } else {
      ReportErrorPlain(kErrorNoMemory, true);
    }
  }
  return pixels;
}

NamedTreeNode* CreateNamedLayer(NamedTree* tree, const char* path, uint8_t kind,
                                int64_t order_key) {
  if (path == nullptr || tree == nullptr) {
    ReportErrorPlain(900020, true);
    return nullptr;
  }
  return CreateTreeNode(tree->root, path, kind == kNodeGroup, order_key);
}

NamedTreeNode* CreateGroupLayerNode(NamedTreeNode* root, const char* path, int64_t width,
                                    int64_t height, int64_t order_key) {
  uint8_t* pixels = AllocLayerPixels(width, height, nullptr);
  if (pixels == nullptr) return nullptr;
  NamedTreeNode* node = CreateTreeNode(root, path, true, order_key);
  LayerData* layer = node != nullptr ? CreateLayerDataForNode(node) : nullptr;
  if (layer == nullptr) {
    FreeBlock(pixels);
    DestroyTreeNode(node, nullptr);
    return nullptr;
  }
  layer->pixels = pixels;
  layer->width = static_cast<int32_t>(width);
  layer->height = static_cast<int32_t>(height);
  layer->resized = 1;
  layer->compose_valid = 1;
  layer->compose_rect = WholeLayerRect(layer);
  layer->compose_parts.count = 0;
  return node;
}

LayerData* CreateLayerCG(const char* path, int64_t width, int64_t height, int64_t order_key) {
  if (path == nullptr) {
    ReportErrorPlain(900020, true);
    return nullptr;
  }
  return LayerOf(CreateGroupLayerNode(g_layer_tree.root, path, width, height, order_key));
}

int32_t CreateWindowRootLayer(NamedTreeNode* layer_root, const char* name, int32_t width,
                              int32_t height) {
  NamedTreeNode* node = CreateGroupLayerNode(layer_root, name, width, height, 0);
  LayerData* layer = LayerOf(node);
  if (layer == nullptr) return -1;
  layer->is_window_root = 1;
  layer->needs_redraw = 1;
  return 0;
}

int32_t LoadImageIntoCG(LayerData* layer, const char* name) {
  if (name == nullptr || name[0] == '\0') {
    if (MakeBlankImage(layer, name) != 0) return -1;
  } else {
    // The lookup and the load stay together: a bank row cannot change in between.
    std::lock_guard lock(EngineLock());
    ResourceLocator locator{};
    std::string found;
    const int32_t located = LocateMediaFile(&locator, &found, name, kMediaImage);
    if (located < 0) return -1;
    if (located == 1) {
      if (MakeBlankImage(layer, name) != 0) return -1;
    } else if (DecodeImageByType(&locator, layer, found.c_str(), &layer->gif_frames) != 0) {
      return -1;
    }
  }
  FinishImageLoad(layer);
  return 0;
}

}  // namespace korvel
