// The drag layer copy: taken per frame with its ancestors' offsets, unaffected by later changes to
// the layer until the next frame, gone when dragging is off or the layer is released, and read
// through the window procedure's hit test.
#include "render/drag_snapshot.h"

#include <gtest/gtest.h>

#include "core/display_state.h"
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
