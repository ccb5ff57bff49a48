// Shaped-window rectangles: moved below the menu bar strip, the strip kept, clipped to X's 16-bit
// coordinates.
#include "platform/sdl/sdl_shape_boxes.h"

#include <gtest/gtest.h>

namespace korvel::platform::sdl {
namespace {

TEST(ShapeBoxesTest, BelowTheBarClippedToSixteenBits) {
  struct Case {
    const char* what;
    Rect rect;
    int32_t bar;
    bool kept;
    ShapeBox box;
  };
  const Case cases[] = {
      {"no bar: as given", {10, 20, 110, 70}, 0, true, {10, 20, 100, 50}},
      {"a bar moves it down", {10, 20, 110, 70}, 24, true, {10, 44, 100, 50}},
      {"empty: left out", {10, 20, 10, 70}, 24, false, {}},
      {"beyond 32767: clipped", {32000, 0, 40000, 100}, 0, true, {32000, 0, 767, 100}},
      {"the bar pushes the top past the range", {0, 32760, 10, 32800}, 24, false, {}},
      {"far left: clipped", {-100000, 0, 10, 5}, 0, true, {-32768, 0, 32778, 5}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<ShapeBox> boxes = ShapeBoxes({c.rect}, c.bar, 640);
    const size_t strip = c.bar > 0 ? 1 : 0;
    ASSERT_EQ(boxes.size(), strip + (c.kept ? 1 : 0));
    if (strip != 0) {
      EXPECT_EQ(boxes[0].x, 0);
      EXPECT_EQ(boxes[0].y, 0);
      EXPECT_EQ(boxes[0].width, 640);
      EXPECT_EQ(boxes[0].height, c.bar);
    }
    if (!c.kept) continue;
    const ShapeBox& b = boxes[strip];
    EXPECT_EQ(b.x, c.box.x);
    EXPECT_EQ(b.y, c.box.y);
    EXPECT_EQ(b.width, c.box.width);
    EXPECT_EQ(b.height, c.box.height);
  }
}

}  // namespace
}  // namespace korvel::platform::sdl
