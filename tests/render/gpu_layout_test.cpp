// The GPU path's arithmetic: tile layout, frame-texture size, quad vertices and rectangles, the
// layer quads' diffuse colour and blend table.
#include "render/gpu_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <vector>

namespace korvel {
namespace {

using platform::GpuBlendFactor;
using platform::GpuBlendOp;
using platform::GpuProgram;
using platform::QuadVertex;

TEST(GpuTileLayoutTest, Table) {
  struct Case {
    int32_t extent, device_max, layer_cap;
    std::vector<uint32_t> tiles;  // empty with count -1: overflow
    int32_t count;
  };
  const std::vector<uint32_t> thirty_one(31, 256);
  const Case cases[] = {
      {300, 256, 0, {256, 64}, 2},
      {16, 8192, 0, {16}, 1},
      {1, 8192, 0, {16}, 1},
      {17, 8192, 0, {32}, 1},
      {7936, 256, 0, thirty_one, 31},
      {7937, 256, 0, {}, -1},
      {640, 8192, 0, {1024}, 1},
      {640, 8192, 512, {512, 128}, 2},  // the layer's own cap
      {640, 8192, 256, {256, 256, 128}, 3},  // a cap below the smallest fitting size
      {640, 1024, -5, {1024}, 1},       // caps count only when positive
      {20000, 8192, 0, {8192, 8192, 4096}, 3},
  };
  for (const Case& c : cases) {
    uint32_t sizes[32] = {};
    int32_t rest = -1;
    const int32_t n = LayoutTiles(c.extent, c.device_max, c.layer_cap, sizes, &rest);
    ASSERT_EQ(n, c.count) << c.extent;
    if (n < 0) {
      EXPECT_EQ(rest, c.extent - 31 * 256) << c.extent;
      continue;
    }
    EXPECT_EQ(std::vector<uint32_t>(sizes, sizes + n), c.tiles) << c.extent;
    EXPECT_EQ(rest, 0);
  }
}

// 4352 × 4096 at 256: 17 × 16 = 272 tiles, more than the layer's 256 slots.
TEST(GpuTileLayoutTest, TileCountOverLayerSlots) {
  uint32_t w[32], h[32];
  int32_t rest = 0;
  const int32_t cols = LayoutTiles(4352, 256, 0, w, &rest);
  const int32_t rows = LayoutTiles(4096, 256, 0, h, &rest);
  ASSERT_EQ(cols, 17);
  ASSERT_EQ(rows, 16);
  EXPECT_GT(cols * rows, kMaxTilesPerLayer);
}

TEST(GpuFrameTextureTest, SideGrowsWithTheLogicalSize) {
  EXPECT_EQ(FrameTextureSide(1024, 800, 8192), 1024);
  EXPECT_EQ(FrameTextureSide(4096, 5000, 8192), 8192);  // outgrown: made larger
  EXPECT_EQ(FrameTextureSide(4096, 5000, 4096), 4096);  // not above the device's maximum
  EXPECT_EQ(FrameTextureSide(0, 100, 8192), 256);
}

TEST(GpuQuadTest, FillScreenQuadVerticesByMode) {
  QuadVertex v;
  const float u = 0.5f, t = 0.25f;
  FillScreenQuadVertices(&v, 0x11223344u, 10, 20, 0, u, t, 3, 256, 128);
  EXPECT_EQ(v.x, 10);
  EXPECT_EQ(v.y, 20);
  EXPECT_EQ(v.rhw, 1.0f);
  EXPECT_EQ(v.diffuse, 0x11223344u);
  const float du = 1.0f / 256, dv = 1.0f / 128;
  const float mode3[8][2] = {{u - du, t - dv}, {u - du, t}, {u - du, t + dv}, {u - du, t + 2 * dv},
                             {u, t - dv},      {u, t},      {u, t + dv},      {u, t + 2 * dv}};
  for (int i = 0; i < 8; ++i) {
    EXPECT_FLOAT_EQ(v.tex[i][0], mode3[i][0]) << i;
    EXPECT_FLOAT_EQ(v.tex[i][1], mode3[i][1]) << i;
  }
  FillScreenQuadVertices(&v, 0, 0, 0, 0, u, t, 2, 256, 128);
  const float mode2[4][2] = {{u, t}, {u + du, t}, {u, t + dv}, {u + du, t + dv}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(v.tex[i][0], mode2[i][0]) << i;
    EXPECT_FLOAT_EQ(v.tex[i][1], mode2[i][1]) << i;
  }
  for (int i = 4; i < 8; ++i) EXPECT_EQ(v.tex[i][0], 0.0f);
  FillScreenQuadVertices(&v, 0, 0, 0, 0, u, t, 0, 256, 128);
  for (auto& pair : v.tex) EXPECT_EQ(pair[0], 0.0f);
}

TEST(GpuQuadTest, FrameQuadRectByPlacement) {
  struct Case {
    bool windowed;
    int8_t placement;
    QuadRect want;
  };
  // A 640 × 480 frame in a 1024 × 512 texture on a 1920 × 1080 screen, presented at 800 × 600
  // when windowed.
  const Case cases[] = {
      {true, 0, {0, 0, 800.0 * 1024 / 640, 600.0 * 512 / 480}},
      {false, 0, {640, 300, 1024, 512}},
      {false, 1, {0, (1080 - 480 * 1920 / 640) * 0.5, 1024 * 3, 512 * 3}},
      {false, 2, {(1920 - 640 * 1080 / 480) * 0.5, 0, 1024 * 1080 / 480, 512 * 1080 / 480}},
      {false, 3, {0, 0, 1920 * 1024 / 640, 1080 * 512 / 480}},
  };
  for (const Case& c : cases) {
    FrameQuadInput in;
    in.windowed = c.windowed;
    in.placement = c.placement;
    in.screen_w = 1920;
    in.screen_h = 1080;
    in.window_w = 640;
    in.window_h = 480;
    in.present_w = 800;
    in.present_h = 600;
    in.tex_w = 1024;
    in.tex_h = 512;
    const QuadRect r = FrameQuadRect(in);
    const int p = c.placement;
    EXPECT_DOUBLE_EQ(r.x, c.want.x) << p << c.windowed;
    EXPECT_DOUBLE_EQ(r.y, c.want.y) << p << c.windowed;
    EXPECT_DOUBLE_EQ(r.width, std::floor(c.want.width)) << p << c.windowed;
    EXPECT_DOUBLE_EQ(r.height, std::floor(c.want.height)) << p << c.windowed;
  }
}

TEST(GpuQuadTest, QuadIsAStripWithEdgeCoordinates) {
  QuadVertex v[4];
  QuadVertices(v, QuadRect{2, 3, 10, 20}, 0xFF000000u, 2, 16, 16);
  const float want[4][4] = {{2, 3, 0, 0}, {12, 3, 1, 0}, {2, 23, 0, 1}, {12, 23, 1, 1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(v[i].x, want[i][0]);
    EXPECT_EQ(v[i].y, want[i][1]);
    EXPECT_EQ(v[i].tex[0][0], want[i][2]);
    EXPECT_EQ(v[i].tex[0][1], want[i][3]);
  }
  platform::Rect r;
  EXPECT_TRUE(PresentSourceRect(true, 800, 600, &r));
  EXPECT_EQ(r.right, 800);
  EXPECT_EQ(r.bottom, 600);
  EXPECT_FALSE(PresentSourceRect(false, 800, 600, &r));
}

TEST(GpuLayerQuadTest, DiffuseTable) {
  struct Case {
    int32_t mode, opacity;
    bool visible;
    uint32_t want;
  };
  const Case cases[] = {
      {0, 256, true, 0xFFFFFFFF}, {0, 128, true, 0x80808080}, {0, 128, false, 0},
      {1, -4, true, 0},           {9, 10, true, 0x0A0A0A0A},  {98, 1, true, 0x01010101},
      {100, 2, true, 0x02020202}, {4, 128, true, 0xFF000000}, {8, 0, false, 0xFF000000},
      {18, 5, true, 0xFF000000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LayerQuadDiffuse(c.mode, c.opacity, c.visible), c.want) << c.mode << " " << c.opacity;
  }
}

TEST(GpuLayerQuadTest, BlendTable) {
  using F = GpuBlendFactor;
  using O = GpuBlendOp;
  struct Case {
    int32_t mode;
    GpuProgram program;
    F src, dst;
    O op;
    uint32_t factor;  // for diffuse 0x80808080
  };
  const Case cases[] = {
      {0, GpuProgram::kLayer0, F::kSrcAlpha, F::kInvSrcAlpha, O::kAdd, 0x80808080},
      {1, GpuProgram::kLayer1, F::kSrcAlpha, F::kOne, O::kAdd, 0xFFFFFFFF},
      {2, GpuProgram::kLayer2, F::kZero, F::kInvSrcColor, O::kRevSubtract, 0xFFFFFFFF},
      {3, GpuProgram::kLayer3, F::kZero, F::kSrcColor, O::kAdd, 0xFFFFFFFF},
      {5, GpuProgram::kLayer5, F::kInvDestColor, F::kOne, O::kAdd, 0xFFFFFFFF},
      {6, GpuProgram::kLayer6, F::kOne, F::kOne, O::kMax, 0xFFFFFFFF},
      {7, GpuProgram::kLayer7, F::kOne, F::kOne, O::kMin, 0xFFFFFFFF},
      {9, GpuProgram::kLayer9, F::kInvDestColor, F::kInvSrcColor, O::kAdd, 0xFFFFFFFF},
      // Modes without a row draw as mode 0 (never with the previous draw's states).
      {4, GpuProgram::kLayer0, F::kSrcAlpha, F::kInvSrcAlpha, O::kAdd, 0x80808080},
      {8, GpuProgram::kLayer0, F::kSrcAlpha, F::kInvSrcAlpha, O::kAdd, 0x80808080},
      {98, GpuProgram::kLayer0, F::kSrcAlpha, F::kInvSrcAlpha, O::kAdd, 0x80808080},
  };
  for (const Case& c : cases) {
    const platform::GpuDrawState s = LayerQuadState(c.mode, 0x80808080);
    EXPECT_TRUE(s.blend) << c.mode;
    EXPECT_EQ(s.program, c.program) << c.mode;
    EXPECT_EQ(s.src, c.src) << c.mode;
    EXPECT_EQ(s.dst, c.dst) << c.mode;
    EXPECT_EQ(s.op, c.op) << c.mode;
    EXPECT_EQ(s.texture_factor, c.factor) << c.mode;
  }
}

}  // namespace
}  // namespace korvel
