// Shared set-up of the layer tests: a headless platform, window 0 with its root layer "W0", the
// worker pool, and helpers that build layers through the layer command and fill their pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/system_objects.h"
#include "core/window_record.h"
#include "engine_fixture.h"
#include "layer/compositor.h"
#include "layer/dirty_rects.h"
#include "layer/layer_command.h"
#include "layer/layer_create.h"
#include "layer/layer_paths.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "layer/layer_release.h"
#include "pixel/worker_pool.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "script/task_payload.h"

namespace korvel::test {

// A 24-bit bottom-up BMP of width x height whose pixel (x, y) has the colour pixel(x, y)
// (0xRRGGBB; the decoder makes it opaque).
template <typename PixelFn>
std::string MakeBmp24(int32_t width, int32_t height, PixelFn pixel) {
  const uint32_t row = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t image = row * static_cast<uint32_t>(height);
  std::string f;
  const auto put = [&f](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f.push_back(static_cast<char>(v >> (8 * i)));
  };
  f += "BM";
  put(54 + image, 4);
  put(0, 4);
  put(54, 4);
  put(40, 4);
  put(static_cast<uint32_t>(width), 4);
  put(static_cast<uint32_t>(height), 4);
  put(1, 2);
  put(24, 2);
  put(0, 4);
  put(image, 4);
  put(2835, 4);
  put(2835, 4);
  put(0, 4);
  put(0, 4);
  for (int32_t y = height - 1; y >= 0; --y) {
    for (int32_t x = 0; x < width; ++x) put(pixel(x, y), 3);
    for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < row; ++pad) f.push_back(0);
  }
  return f;
}

class LayerEnv : public test::HeadlessEngine {
 protected:
  static constexpr int32_t kWidth = 64;
  static constexpr int32_t kHeight = 48;

  void SetUp() override { StartEnv(1); }
  void TearDown() override {
    if (running_) StopEnv();
  }

  void StartEnv(int workers) {
    running_ = true;
    HeadlessEngine::SetUp();
    InitLayerState();
    InitCompositor();
    ASSERT_NO_FATAL_FAILURE(OpenWindowZero(kWidth, kHeight));
    WindowRecord* w = g_windows[0];
    RegisterLayerTree();
    RegisterTaskTree();
    SetRootLayerCreator(CreateWindowRootLayer);
    NamedTreeNode* root = nullptr;
    ASSERT_EQ(CreateSystemObjects(kWidth, kHeight, &root), 0);
    w->root_layer = root;
    if (workers > 0) {
      ASSERT_TRUE(StartWorkerThreads(g_worker_pool, workers));
    }
  }
  void StopEnv() {
    running_ = false;
    StopWorkerThreads(g_worker_pool);
    DestroySystemObjects();
    SetRootLayerCreator(nullptr);
    FreeWindowRecords();
    HeadlessEngine::TearDown();
  }

  static NamedTreeNode* W0() { return g_windows[0]->root_layer; }
  static LayerData* Root() { return Existing(LayerOf(W0()), "W0"); }
  static NamedTreeNode* Node(const std::string& path, bool group = false) {
    LayerPath p;
    if (NormalizeLayerPath(path, &p) != 0) return nullptr;
    return FindLayerQuiet(p.text, group);
  }
  static LayerData* Layer(const std::string& path, bool group = false) {
    return Existing(LayerOf(Node(path, group)), path);
  }
  // The record, or (after a failure) a blank stand-in, so a missing layer fails the test
  // instead of crashing it.
  static LayerData* Existing(LayerData* layer, const std::string& path) {
    if (layer != nullptr) return layer;
    ADD_FAILURE() << "no layer " << path;
    static uint8_t pixels[64 * 64 * 4 + 4];
    static LayerData blank;
    blank = LayerData{};
    blank.width = blank.height = 1;
    blank.pixels = pixels;
    return &blank;
  }
  static int32_t LastCode() { return LastErrorReport().code; }
  static uint32_t Reports() { return LastErrorReport().count; }

  // An image layer of w x h at (x, y) with order key `key`, made through the layer command (an
  // empty image grown to the size), then filled with `pixel` and marked.
  static LayerData* MakeImage(const std::string& path, int64_t x, int64_t y, int32_t w, int32_t h,
                              int64_t key, uint32_t pixel, bool alpha = false) {
    LayerCommandArgs a;
    a.Text(kLayerPath, path).Text(kLayerImage, "").Set(kLayerOrder, key);
    a.Set(kLayerWidth, w).Set(kLayerHeight, h).Set(kLayerX, x).Set(kLayerY, y);
    if (ApplyLayerCommand(a) != 0) return nullptr;
    LayerData* l = Layer(path);
    Fill(path, pixel, alpha);
    return l;
  }
  // A group layer of w x h at (x, y).
  static LayerData* MakeGroup(const std::string& path, int64_t x, int64_t y, int32_t w, int32_t h,
                              int64_t key) {
    LayerCommandArgs a;
    a.Text(kLayerPath, path + "/").Set(kLayerOrder, key).Set(kLayerWidth, w);
    a.Set(kLayerHeight, h).Set(kLayerX, x).Set(kLayerY, y);
    if (ApplyLayerCommand(a) != 0) return nullptr;
    return Layer(path, true);
  }
  // Sets every pixel of an image layer (as a draw operation would) and marks it.
  static void Fill(const std::string& path, uint32_t pixel, bool alpha = false) {
    NamedTreeNode* node = Node(path);
    LayerData* l = LayerOf(node);
    ASSERT_NE(l, nullptr) << path;
    for (int64_t i = 0; i < int64_t{l->width} * l->height; ++i) {
      std::memcpy(l->pixels + i * 4, &pixel, 4);
    }
    l->has_alpha = alpha ? 1 : 0;
    MarkDirtyUpward(node);
  }
  static void Set(const std::string& path, uint8_t slot, int64_t value, uint8_t op = 0) {
    LayerCommandArgs a;
    a.Text(kLayerPath, path).Set(slot, value, op);
    ASSERT_EQ(ApplyLayerCommand(a), 0) << path << " slot " << int{slot};
  }
  static void SetText(const std::string& path, uint8_t slot, const std::string& text) {
    LayerCommandArgs a;
    a.Text(kLayerPath, path).Text(slot, text);
    ASSERT_EQ(ApplyLayerCommand(a), 0) << path << " slot " << int{slot};
  }

  // One frame as the frame step runs it: sweep, compose, then the frame's dirty state ends.
  // Returns true when window 0 would present a frame.
  static bool Frame() {
    SweepLayerChanges();
    EXPECT_EQ(RenderWindowIfDirty(0), 0);
    const bool presented = Root()->needs_redraw != 0;
    ResetAllLayerDirtyRects();
    return presented;
  }

  static uint32_t PixelAt(const LayerData* l, int32_t x, int32_t y) {
    uint32_t p;
    std::memcpy(&p, l->pixels + (static_cast<size_t>(y) * l->width + x) * 4, 4);
    return p;
  }
  static std::vector<uint8_t> Pixels(const LayerData* l) {
    return std::vector<uint8_t>(l->pixels, l->pixels + static_cast<size_t>(l->width) * 4 *
                                                           static_cast<size_t>(l->height));
  }
  static void QueueOk() {
    std::string error;
    ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;
  }

 private:
  bool running_ = false;
};

}  // namespace korvel::test
