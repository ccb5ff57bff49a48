// A headless engine for benchmarks: the platform, the engine state, window 0 with its root layer
// of a given size and the layer tree, made by the constructor and taken down by the destructor.
#pragma once

#include <cstdint>

#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/system_objects.h"
#include "core/window_record.h"
#include "layer/compositor.h"
#include "layer/layer_create.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "pixel/pixel_kernels.h"
#include "platform/platform.h"

namespace korvel::bench {

class HeadlessScene {
 public:
  HeadlessScene(int32_t width, int32_t height) {
    platform::InitPlatformWith(platform::BackendKind::kHeadless);
    InitEngineState();
    InitErrorReporting();
    InitLayerState();
    InitCompositor();
    SelectPixelKernels();
    CreateWindowRecords();
    WindowRecord* w = g_windows[0];
    w->logical_width = width;
    w->logical_height = height;
    platform::WindowDesc desc;
    desc.client_width = width;
    desc.client_height = height;
    w->handle = platform::CreateWindow(desc);
    RegisterLayerTree();
    SetRootLayerCreator(CreateWindowRootLayer);
    NamedTreeNode* root = nullptr;
    CreateSystemObjects(width, height, &root);
    w->root_layer = root;
  }
  ~HeadlessScene() {
    DestroySystemObjects();
    SetRootLayerCreator(nullptr);
    FreeWindowRecords();
    ShutdownErrorReporting();
    platform::ShutdownPlatform();
  }
  HeadlessScene(const HeadlessScene&) = delete;
  HeadlessScene& operator=(const HeadlessScene&) = delete;
};

}  // namespace korvel::bench
