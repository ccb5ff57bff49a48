// The drag layer copy: taken per frame with its ancestors' offsets, unaffected by later changes to
// the layer until the next frame, gone when dragging is off or the layer is released, and read
// through the window procedure's hit test; after every kind of change (pixels written without any
// mark, alpha switch, move, resize) the hit test answers from the layer as it is at the frame.
#include "render/drag_snapshot.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "core/display_state.h"
#include "core/published_placement.h"
#include "core/subsystem_hooks.h"
#include "core/window_proc.h"
#include "layer/layer_test_env.h"

namespace korvel {
namespace {

class DragSnapshotTest : public test::LayerEnv {
 protected:
  void SetUp() override {
    LayerEnv::SetUp();
    InitDisplayState();
    SetWindowedDisplay(kWidth, kHeight);
    PublishWindowPlacement();
    ResetSubsystemHooks();
    g_hooks.find_drag_layer = FindDragLayerSnapshot;
  }
  void TearDown() override {
    SetWindowDrag(false, "");
    ClearDragSnapshot();
    ResetSubsystemHooks();
    LayerEnv::TearDown();
  }
};

TEST_F(DragSnapshotTest, CopiedOncePerFrameAndReadByTheHitTest) {
  MakeGroup("g", 10, 4, 40, 40, 1);
  MakeImage("g/handle", 3, 2, 8, 8, 1, 0xFF00FF00, true);
  SetWindowDrag(true, "g/handle");
  UpdateDragSnapshot();
  DragLayerView view;
  ASSERT_TRUE(FindDragLayerSnapshot(0, "g/handle", &view));
  EXPECT_EQ(view.x, 13);
  EXPECT_EQ(view.y, 6);
  EXPECT_EQ(view.width, 8);
  EXPECT_FALSE(FindDragLayerSnapshot(0, "other", &view));
  const WindowRecord* w = g_windows[0];
  EXPECT_TRUE(IsWindowDragPoint(w, 13, 6));
  EXPECT_FALSE(IsWindowDragPoint(w, 12, 6));

  // A script makes the pixel transparent: the hit test sees it from the next frame on.
  Fill("g/handle", 0x00000000, true);
  EXPECT_TRUE(IsWindowDragPoint(w, 13, 6));
  UpdateDragSnapshot();
  EXPECT_FALSE(IsWindowDragPoint(w, 13, 6));

  // Released: no copy, no drag.
  Fill("g/handle", 0xFF00FF00, true);
  ASSERT_EQ(ApplyReleaseLayerCommand("g/handle"), 0);
  UpdateDragSnapshot();
  EXPECT_FALSE(FindDragLayerSnapshot(0, "g/handle", &view));
  EXPECT_FALSE(IsWindowDragPoint(w, 13, 6));
}

// Every point of window 0 against the layer itself: inside the box at (x, y) and not transparent
// (or the layer has no alpha).
void ExpectHitTestFollows(const LayerData* l, int64_t x, int64_t y, const std::string& what) {
  const WindowRecord* w = g_windows[0];
  int wrong = 0;
  for (int32_t py = 0; py < w->logical_height; ++py) {
    for (int32_t px = 0; px < w->logical_width; ++px) {
      const int64_t lx = px - x, ly = py - y;
      bool expect = lx >= 0 && ly >= 0 && lx < l->width && ly < l->height;
      if (expect && l->has_alpha != 0) {
        const size_t i = static_cast<size_t>(ly) * l->width + static_cast<size_t>(lx);
        expect = l->pixels[i * 4 + 3] != 0;
      }
      if (IsWindowDragPoint(w, px, py) != expect && ++wrong <= 3) {
        ADD_FAILURE() << what << ": point " << px << " " << py << " should be " << expect;
      }
    }
  }
}

TEST_F(DragSnapshotTest, HitTestFollowsEveryChangeFromTheNextFrame) {
  MakeGroup("g", 10, 4, 40, 40, 1);
  // 7 x 3: 21 pixels, so the last byte of bits is partly used.
  LayerData* l = MakeImage("g/handle", 3, 2, 7, 3, 1, 0xFF00FF00, true);
  SetWindowDrag(true, "g/handle");
  UpdateDragSnapshot();
  ExpectHitTestFollows(l, 13, 6, "start");

  const auto alpha = [](const char* path, int32_t i) -> uint8_t& {
    return Layer(path)->pixels[static_cast<size_t>(i) * 4 + 3];
  };
  struct Change {
    const char* what;
    std::function<void()> apply;
    int64_t x, y;  // the layer's place in the window afterwards
  };
  std::mt19937 rng(5);
  const Change changes[] = {
      // Written straight into the buffer, with no dirty mark at all.
      {"first pixel transparent", [&] { alpha("g/handle", 0) = 0; }, 13, 6},
      {"last pixel transparent", [&] { alpha("g/handle", 20) = 0; }, 13, 6},
      {"alpha 1 counts", [&] { alpha("g/handle", 0) = 1; }, 13, 6},
      {"ninth pixel transparent", [&] { alpha("g/handle", 8) = 0; }, 13, 6},
      {"alpha off", [&] { Layer("g/handle")->has_alpha = 0; }, 13, 6},
      {"alpha on", [&] { Layer("g/handle")->has_alpha = 1; }, 13, 6},
      {"layer moved", [&] { Set("g/handle", kLayerX, 30); }, 40, 6},
      {"group moved", [&] { Set("g/", kLayerY, 20); }, 40, 22},
      {"layer resized", [&] {
         LayerCommandArgs a;
         a.Text(kLayerPath, "g/handle").Text(kLayerImage, "");
         a.Set(kLayerWidth, 13).Set(kLayerHeight, 5);
         ASSERT_EQ(ApplyLayerCommand(a), 0);
         ASSERT_EQ(Layer("g/handle")->width, 13);
       }, 40, 22},
      {"noise", [&] {
         LayerData* d = Layer("g/handle");
         for (int32_t i = 0; i < d->width * d->height; ++i) {
           alpha("g/handle", i) = (rng() % 3 == 0) ? 0 : static_cast<uint8_t>(rng());
         }
       }, 40, 22},
      {"edge pixels", [&] {
         LayerData* d = Layer("g/handle");
         alpha("g/handle", d->width * d->height - 1) = 0;
         alpha("g/handle", d->width - 1) = 0;
       }, 40, 22},
  };
  for (const Change& c : changes) {
    DragLayerView before;
    ASSERT_TRUE(FindDragLayerSnapshot(0, "g/handle", &before)) << c.what;
    c.apply();
    UpdateDragSnapshot();
    ExpectHitTestFollows(Layer("g/handle"), c.x, c.y, c.what);
    // A frame without changes keeps the view it has.
    DragLayerView after, again;
    ASSERT_TRUE(FindDragLayerSnapshot(0, "g/handle", &after)) << c.what;
    UpdateDragSnapshot();
    ASSERT_TRUE(FindDragLayerSnapshot(0, "g/handle", &again)) << c.what;
    EXPECT_EQ(again.opaque, after.opaque) << c.what;
  }
}

TEST_F(DragSnapshotTest, DraggingOffDropsTheCopy) {
  MakeImage("handle", 0, 0, 4, 4, 1, 0xFF00FF00);
  SetWindowDrag(true, "handle");
  UpdateDragSnapshot();
  DragLayerView view;
  ASSERT_TRUE(FindDragLayerSnapshot(0, "handle", &view));
  SetWindowDrag(false, "handle");
  UpdateDragSnapshot();
  EXPECT_FALSE(FindDragLayerSnapshot(0, "handle", &view));
}

}  // namespace
}  // namespace korvel
