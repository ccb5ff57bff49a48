// The layer record: dirty rectangles marked up the tree, merged into the frame and reset per
// frame; the sweep of pending values; shared records; and the 1536-byte block codec.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "layer/layer_block_codec.h"
#include "layer_test_env.h"

namespace korvel {
namespace {

using test::LayerEnv;

class LayerRecordTest : public LayerEnv {};

bool SameRect(const DirtyRect& r, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  return r.x0 == x0 && r.y0 == y0 && r.x1 == x1 && r.y1 == y1;
}

TEST_F(LayerRecordTest, MarkingStartsThenWidensTheParentsComposeRectangle) {
  ASSERT_NE(MakeGroup("g", 10, 10, 30, 20, 1), nullptr);
  ASSERT_NE(MakeImage("g/a", 2, 3, 4, 5, 1, 0xFF0000FF), nullptr);
  ASSERT_NE(MakeImage("g/b", 20, 1, 2, 2, 2, 0xFF00FF00), nullptr);
  Frame();
  LayerData* g = Layer("g", true);
  ASSERT_EQ(g->compose_valid, 0);
  MarkDirtyUpward(Node("g/a"));
  EXPECT_EQ(g->needs_redraw, 1);
  EXPECT_EQ(g->dirty_merge_count, 1u);
  EXPECT_TRUE(SameRect(g->compose_rect, 2, 3, 5, 7));
  MarkDirtyUpward(Node("g/b"));
  EXPECT_EQ(g->dirty_merge_count, 1u);
  EXPECT_TRUE(SameRect(g->compose_rect, 2, 1, 21, 7));
  // The group's own box went to W0 both times.
  EXPECT_TRUE(SameRect(Root()->compose_rect, 10, 10, 39, 29));
}

TEST_F(LayerRecordTest, ChildOutsideItsParentStillMarksTheGrandparent) {
  ASSERT_NE(MakeGroup("g", 5, 6, 10, 10, 1), nullptr);
  ASSERT_NE(MakeImage("g/far", 100, 100, 3, 3, 1, 0xFFFFFFFF), nullptr);
  Frame();
  MarkDirtyUpward(Node("g/far"));
  EXPECT_EQ(Layer("g", true)->needs_redraw, 0);
  EXPECT_EQ(Layer("g", true)->compose_valid, 0);
  EXPECT_EQ(Root()->needs_redraw, 1);
  EXPECT_TRUE(SameRect(Root()->compose_rect, 5, 6, 14, 15));
}

TEST_F(LayerRecordTest, AfterAResetTheFirstMarkReplacesTheStaleRectangle) {
  ASSERT_NE(MakeImage("a", 0, 0, 4, 4, 1, 0xFFFFFFFF), nullptr);
  ASSERT_NE(MakeImage("b", 30, 30, 4, 4, 2, 0xFFFFFFFF), nullptr);
  Frame();
  // The stale rectangle is still there, but not valid.
  EXPECT_EQ(Root()->compose_valid, 0);
  MarkDirtyUpward(Node("b"));
  EXPECT_TRUE(SameRect(Root()->compose_rect, 30, 30, 33, 33));
  EXPECT_TRUE(SameRect(Root()->frame_rect, kEmptyRectMin, kEmptyRectMin, kEmptyRectMax,
                       kEmptyRectMax));
}

TEST_F(LayerRecordTest, ExtremePlacementsNeitherOverflowNorOverlap) {
  ASSERT_NE(MakeImage("a", 0, 0, 8, 8, 1, 0xFFFFFFFF), nullptr);
  Frame();
  LayerData* a = Layer("a");
  for (int64_t x : {std::numeric_limits<int64_t>::max() - 3, std::numeric_limits<int64_t>::min(),
                    int64_t{-8}, int64_t{kWidth}}) {
    SCOPED_TRACE(x);
    a->x = x;
    ResetAllLayerDirtyRects();
    MarkDirtyUpward(Node("a"));
    EXPECT_EQ(Root()->needs_redraw, 0);
  }
  a->x = std::numeric_limits<int64_t>::max() - 3;
  DirtyRect box;
  ASSERT_TRUE(LayerBox(a, &box));
  EXPECT_EQ(box.x1, std::numeric_limits<int64_t>::max());
}

TEST_F(LayerRecordTest, MergeTakesTheWholeLayerAfterAResize) {
  LayerData l{};
  l.width = 10;
  l.height = 8;
  l.frame_rect = EmptyDirtyRect();
  l.compose_rect = DirtyRect{2, 3, 4, 5};
  MergeIntoFrameRect(&l);
  EXPECT_TRUE(SameRect(l.frame_rect, 2, 3, 4, 5));
  l.compose_rect = DirtyRect{1, 4, 2, 7};
  MergeIntoFrameRect(&l);
  EXPECT_TRUE(SameRect(l.frame_rect, 1, 3, 4, 7));
  l.resized = 1;
  MergeIntoFrameRect(&l);
  EXPECT_EQ(l.resized, 0);
  EXPECT_TRUE(SameRect(l.frame_rect, 0, 0, 9, 7));
}

// Parts as a sorted list of rectangles, for comparing regardless of order.
std::vector<std::vector<int64_t>> PartList(const DirtyParts& parts) {
  std::vector<std::vector<int64_t>> list;
  for (int i = 0; i < parts.count; ++i) {
    const DirtyRect& r = parts.rects[i];
    list.push_back({r.x0, r.y0, r.x1, r.y1});
  }
  std::sort(list.begin(), list.end());
  return list;
}

TEST(DirtyPartsTest, BoxesMergeWhenTheyTouchAndStayApartOtherwise) {
  struct Case {
    const char* name;
    std::vector<DirtyRect> boxes;
    std::vector<std::vector<int64_t>> parts;
  };
  const Case cases[] = {
      {"apart", {{0, 0, 9, 9}, {20, 0, 29, 9}}, {{0, 0, 9, 9}, {20, 0, 29, 9}}},
      {"overlapping", {{0, 0, 9, 9}, {5, 5, 14, 14}}, {{0, 0, 14, 14}}},
      {"side by side", {{0, 0, 9, 9}, {10, 0, 19, 9}}, {{0, 0, 19, 9}}},
      {"corner to corner", {{0, 0, 9, 9}, {10, 10, 19, 19}}, {{0, 0, 19, 19}}},
      {"one pixel gap", {{0, 0, 9, 9}, {11, 0, 19, 9}}, {{0, 0, 9, 9}, {11, 0, 19, 9}}},
      // The third box joins the first two, whose union then swallows the fourth.
      {"chain",
       {{0, 0, 4, 4}, {10, 0, 14, 4}, {3, 0, 11, 2}, {6, 3, 8, 4}},
       {{0, 0, 14, 4}}},
      {"empty box ignored", {{0, 0, 4, 4}, {5, 5, 1, 1}}, {{0, 0, 4, 4}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DirtyParts parts{};
    StartDirtyParts(parts, c.boxes[0]);
    for (size_t i = 1; i < c.boxes.size(); ++i) AddDirtyPart(parts, c.boxes[i]);
    EXPECT_EQ(PartList(parts), c.parts);
  }
}

TEST(DirtyPartsTest, FullPartsJoinTheBoxWhereTheyGrowLeast) {
  DirtyParts parts{};
  StartDirtyParts(parts, DirtyRect{0, 0, 1, 1});
  for (int64_t i = 1; i < kDirtyPartCapacity; ++i) {
    AddDirtyPart(parts, DirtyRect{i * 100, 0, i * 100 + 1, 1});
  }
  ASSERT_EQ(parts.count, kDirtyPartCapacity);
  AddDirtyPart(parts, DirtyRect{303, 0, 304, 1});  // nearest the part at 300
  EXPECT_EQ(parts.count, kDirtyPartCapacity);
  const auto list = PartList(parts);
  EXPECT_NE(std::find(list.begin(), list.end(), std::vector<int64_t>{300, 0, 304, 1}), list.end());
  // Unknown parts stay unknown: the bounding rectangle keeps standing.
  ForgetDirtyParts(parts);
  AddDirtyPart(parts, DirtyRect{0, 0, 1, 1});
  EXPECT_EQ(parts.count, 0);
}

TEST(DirtyPartsTest, PartsSplitOnlyWhenTheyExactlySpanTheRectangle) {
  DirtyParts parts{};
  StartDirtyParts(parts, DirtyRect{0, 0, 9, 9});
  EXPECT_FALSE(DirtyPartsSplit(parts, DirtyRect{0, 0, 9, 9}));  // one part: no split
  AddDirtyPart(parts, DirtyRect{50, 40, 59, 49});
  EXPECT_TRUE(DirtyPartsSplit(parts, DirtyRect{0, 0, 59, 49}));
  // The rectangle was widened (or set whole) without the parts: they are stale.
  EXPECT_FALSE(DirtyPartsSplit(parts, DirtyRect{0, 0, 99, 49}));
}

TEST_F(LayerRecordTest, FarApartChangesKeepTheirOwnPartsUpToTheFrame) {
  ASSERT_NE(MakeImage("a", 0, 0, 4, 4, 1, 0xFFFFFFFF), nullptr);
  ASSERT_NE(MakeImage("b", 60, 40, 4, 4, 2, 0xFFFFFFFF), nullptr);
  Frame();
  MarkDirtyUpward(Node("a"));
  MarkDirtyUpward(Node("b"));
  LayerData* root = Root();
  EXPECT_TRUE(SameRect(root->compose_rect, 0, 0, 63, 43));
  ASSERT_TRUE(DirtyPartsSplit(root->compose_parts, root->compose_rect));
  ASSERT_EQ(ComposeLayerTree(g_windows[0]->root_layer, 0, 0), 0);
  EXPECT_TRUE(SameRect(root->frame_rect, 0, 0, 63, 43));
  ASSERT_TRUE(DirtyPartsSplit(root->frame_parts, root->frame_rect));
  EXPECT_EQ(PartList(root->frame_parts),
            (std::vector<std::vector<int64_t>>{{0, 0, 3, 3}, {60, 40, 63, 43}}));
  // A whole repaint leaves no parts behind.
  SetWholeFrameRect(root);
  EXPECT_FALSE(DirtyPartsSplit(root->frame_parts, root->frame_rect));
  // Marking the layer whole drops the compose parts too.
  MarkDirtyUpward(Node("a"));
  MarkDirtyUpward(Node("b"));
  MarkLayerWhollyChanged(root);
  EXPECT_FALSE(DirtyPartsSplit(root->compose_parts, root->compose_rect));
}

TEST_F(LayerRecordTest, SweepCommitsPendingValuesAndMarksOnlyRealChanges) {
  ASSERT_NE(MakeImage("a", 8, 8, 4, 4, 1, 0xFFFFFFFF), nullptr);
  Frame();
  g_layer_state.layers_changed = 0;
  Set("a", kLayerOpacity, 256);  // the same value: no change at the sweep
  SweepLayerChanges();
  EXPECT_EQ(Layer("a")->pending_opacity_flag, 0);
  EXPECT_EQ(Root()->needs_redraw, 0);
  EXPECT_EQ(g_layer_state.layers_changed, 0);
  Set("a", kLayerVisible, 0);
  EXPECT_EQ(Layer("a")->visible, 1);  // pending until the sweep
  SweepLayerChanges();
  EXPECT_EQ(Layer("a")->visible, 0);
  EXPECT_EQ(Root()->needs_redraw, 1);
  EXPECT_EQ(g_layer_state.layers_changed, 1);
  EXPECT_TRUE(SameRect(Root()->compose_rect, 8, 8, 11, 11));
}

TEST_F(LayerRecordTest, CopyLayerStringCutsOnACharacterBoundary) {
  std::vector<char> buffer(kLayerStringCapacity, 'x');
  std::string text(259, 'a');
  text += "\x82\xA0";  // a double-byte character across the 260-byte limit
  EXPECT_TRUE(CopyLayerString(buffer.data(), text.c_str()));
  EXPECT_EQ(std::strlen(buffer.data()), 259u);
  EXPECT_FALSE(CopyLayerString(buffer.data(), text.c_str()));
  std::string exact(260, 'b');
  EXPECT_TRUE(CopyLayerString(buffer.data(), (exact + "tail").c_str()));
  EXPECT_EQ(std::string(buffer.data()), exact);
  EXPECT_EQ(buffer[260], '\0');
}

// ---- The 1536-byte block ------------------------------------------------------------------------

LayerData DistinctRecord() {
  LayerData l{};
  l.is_window_root = 1;
  l.is_message_target = 1;
  l.dirty_merge_count = 0x11223344;
  l.frame_rect = DirtyRect{-1, -2, 3, 4};
  l.compose_rect = DirtyRect{5, 6, 7, 8};
  l.compose_valid = 1;
  l.resized = 1;
  l.needs_redraw = 1;
  l.composed = 1;
  l.reference_count = 0x0102030405060708ull;
  l.value_slot38 = -0x123456789ALL;
  l.x = -77;
  l.y = 0x7FFFFFFFFFFFFFF0LL;
  l.width = 640;
  l.height = 480;
  l.opacity = 200;
  l.mask_level = 100;
  l.mask_ramp = -300;
  l.has_alpha = 1;
  l.blend_mode = 15;
  l.visible = 1;
  l.pending_visible = 2;
  l.pending_visible_flag = 1;
  l.pending_opacity = 55;
  l.pending_opacity_flag = 1;
  l.value_slot28 = 1;
  l.excluded = 1;
  l.upload_byte = 9;
  l.tile_columns = 3;
  l.tile_rows = 2;
  l.tile_cap_width = 1024;
  l.tile_cap_height = 512;
  for (uint32_t i = 0; i < 32; ++i) {
    l.tile_widths[i] = 1000 + i;
    l.tile_heights[i] = 2000 + i;
  }
  l.gpu_placement[0] = 100;
  l.gpu_placement[3] = -5;
  l.value_slot21 = 21;
  l.value_slot22 = -22;
  l.value_slots18_20[0] = 1.5f;
  l.value_slots18_20[2] = -2.25f;
  l.value_slot23 = 128;
  l.colour_slot24 = 0x808080;
  l.value_slot25 = 0xAB;
  l.value_slot27 = 256;
  l.pixels = reinterpret_cast<uint8_t*>(0x1234);  // pointers are never written
  return l;
}

template <typename T>
T At(const uint8_t* block, size_t offset) {
  T v;
  std::memcpy(&v, block + offset, sizeof v);
  return v;
}

TEST(LayerBlockCodecTest, FieldsSitAtTheirOffsets) {
  const LayerData l = DistinctRecord();
  std::vector<uint8_t> b(kLayerBlockSize, 0xEE);
  EncodeLayerBlock(l, b.data());
  EXPECT_EQ(b[0], 1);
  EXPECT_EQ(b[1], 1);
  EXPECT_EQ(At<uint16_t>(b.data(), 2), 0);
  EXPECT_EQ(At<uint32_t>(b.data(), 4), 0x11223344u);
  EXPECT_EQ(At<int64_t>(b.data(), 8), -1);
  EXPECT_EQ(At<int64_t>(b.data(), 32), 4);
  EXPECT_EQ(At<int64_t>(b.data(), 40), 5);
  EXPECT_EQ(At<int64_t>(b.data(), 64), 8);
  EXPECT_EQ(b[72], 1);
  EXPECT_EQ(b[75], 1);
  EXPECT_EQ(At<uint32_t>(b.data(), 76), 0u);  // mask path pointer
  EXPECT_EQ(At<uint64_t>(b.data(), 80), 0x0102030405060708ull);
  EXPECT_EQ(At<int64_t>(b.data(), 88), -0x123456789ALL);
  EXPECT_EQ(At<int64_t>(b.data(), 96), -77);
  EXPECT_EQ(At<int64_t>(b.data(), 104), 0x7FFFFFFFFFFFFFF0LL);
  EXPECT_EQ(At<int32_t>(b.data(), 112), 640);
  EXPECT_EQ(At<int32_t>(b.data(), 116), 480);
  EXPECT_EQ(At<int16_t>(b.data(), 120), 200);
  EXPECT_EQ(At<int16_t>(b.data(), 122), 100);
  EXPECT_EQ(At<int16_t>(b.data(), 124), -300);
  EXPECT_EQ(b[126], 1);
  EXPECT_EQ(b[127], 15);
  EXPECT_EQ(b[128], 0);
  EXPECT_EQ(b[129], 1);
  EXPECT_EQ(b[130], 2);
  EXPECT_EQ(b[131], 1);
  EXPECT_EQ(At<int16_t>(b.data(), 132), 55);
  EXPECT_EQ(b[134], 1);
  EXPECT_EQ(At<uint32_t>(b.data(), 144), 0u);  // pixels pointer
  EXPECT_EQ(b[153], 1);
  EXPECT_EQ(b[160], 1);
  EXPECT_EQ(b[161], 9);
  EXPECT_EQ(b[162], 3);
  EXPECT_EQ(b[163], 2);
  EXPECT_EQ(At<int32_t>(b.data(), 164), 1024);
  EXPECT_EQ(At<int32_t>(b.data(), 168), 512);
  EXPECT_EQ(At<uint32_t>(b.data(), 172), 1000u);
  EXPECT_EQ(At<uint32_t>(b.data(), 296), 1031u);
  EXPECT_EQ(At<uint32_t>(b.data(), 300), 2000u);
  EXPECT_EQ(At<uint32_t>(b.data(), 424), 2031u);
  EXPECT_EQ(At<int64_t>(b.data(), 432), 100);
  EXPECT_EQ(At<int64_t>(b.data(), 456), -5);
  EXPECT_EQ(At<int64_t>(b.data(), 464), 21);
  EXPECT_EQ(At<int64_t>(b.data(), 472), -22);
  EXPECT_EQ(At<float>(b.data(), 480), 1.5f);
  EXPECT_EQ(At<float>(b.data(), 488), -2.25f);
  EXPECT_EQ(At<uint32_t>(b.data(), 492), 128u);
  EXPECT_EQ(At<uint32_t>(b.data(), 496), 0x808080u);
  EXPECT_EQ(b[500], 0xAB);
  EXPECT_EQ(At<uint32_t>(b.data(), 504), 0u);  // second string pointer
  EXPECT_EQ(At<int16_t>(b.data(), 508), 256);
  for (size_t i = 512; i < kLayerBlockSize; ++i) ASSERT_EQ(b[i], 0) << i;
}

TEST(LayerBlockCodecTest, ReadingBackKeepsTheRecordsOwnPointersAndCount) {
  const LayerData stored = DistinctRecord();
  std::vector<uint8_t> b(kLayerBlockSize);
  EncodeLayerBlock(stored, b.data());
  LayerData l{};
  uint8_t own_pixels[4] = {};
  l.pixels = own_pixels;
  l.reference_count = 1;
  ASSERT_EQ(DecodeLayerBlock(b, 640u * 4 * 480, &l), LayerBlockStatus::kOk);
  EXPECT_EQ(l.pixels, own_pixels);
  EXPECT_EQ(l.reference_count, 1u);
  EXPECT_EQ(l.is_window_root, 0);
  EXPECT_EQ(l.compose_valid, 0);
  EXPECT_EQ(l.tile_columns, 0);
  EXPECT_EQ(l.x, stored.x);
  EXPECT_EQ(l.y, stored.y);
  EXPECT_EQ(l.width, 640);
  EXPECT_EQ(l.mask_ramp, -300);
  EXPECT_EQ(l.blend_mode, 15);
  EXPECT_EQ(l.pending_opacity, 55);
  EXPECT_EQ(l.value_slots18_20[2], -2.25f);
  EXPECT_EQ(l.value_slot38, stored.value_slot38);
  EXPECT_EQ(l.excluded, 1);
  // Writing the read record gives the stored bytes back, apart from what is not taken.
  std::vector<uint8_t> again(kLayerBlockSize);
  EncodeLayerBlock(l, again.data());
  for (size_t i = 88; i < 160; ++i) EXPECT_EQ(again[i], b[i]) << i;
  for (size_t i = 432; i < 512; ++i) EXPECT_EQ(again[i], b[i]) << i;
}

TEST(LayerBlockCodecTest, BadSizesAreRefusedAndRangedValuesClamped) {
  LayerData stored = DistinctRecord();
  std::vector<uint8_t> b(kLayerBlockSize);
  LayerData l{};
  l.width = 3;
  struct Case {
    int32_t width, height;
    uint64_t pixel_bytes;
    LayerBlockStatus status;
  };
  const Case cases[] = {
      {0, 10, 0, LayerBlockStatus::kBadSides},
      {8193, 1, 8193 * 4, LayerBlockStatus::kBadSides},
      {1, -1, 0, LayerBlockStatus::kBadSides},
      {8192, 1, 8192 * 4, LayerBlockStatus::kOk},
      {2, 2, 15, LayerBlockStatus::kPixelCountMismatch},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.width);
    stored.width = c.width;
    stored.height = c.height;
    EncodeLayerBlock(stored, b.data());
    l.width = 3;
    EXPECT_EQ(DecodeLayerBlock(b, c.pixel_bytes, &l), c.status);
    if (c.status != LayerBlockStatus::kOk) {
      EXPECT_EQ(l.width, 3);
    }
  }
  EXPECT_EQ(DecodeLayerBlock(std::span<const uint8_t>(b.data(), 1535), 4, &l),
            LayerBlockStatus::kWrongSize);

  stored = DistinctRecord();
  stored.width = stored.height = 1;
  stored.opacity = 300;
  stored.mask_level = -4;
  stored.pending_opacity = -1;
  stored.blend_mode = 19;
  stored.value_slot23 = 999;
  stored.colour_slot24 = 0x2000000;
  stored.value_slot27 = -3;
  EncodeLayerBlock(stored, b.data());
  ASSERT_EQ(DecodeLayerBlock(b, 4, &l), LayerBlockStatus::kOk);
  EXPECT_EQ(l.opacity, 256);
  EXPECT_EQ(l.mask_level, 0);
  EXPECT_EQ(l.pending_opacity, 0);
  EXPECT_EQ(l.blend_mode, 18);
  EXPECT_EQ(l.value_slot23, 256u);
  EXPECT_EQ(l.colour_slot24, 0x1000000u);
  EXPECT_EQ(l.value_slot27, 0);
  b[127] = 0x80;  // blend mode -128
  ASSERT_EQ(DecodeLayerBlock(b, 4, &l), LayerBlockStatus::kOk);
  EXPECT_EQ(l.blend_mode, 0);
}

}  // namespace
}  // namespace korvel
