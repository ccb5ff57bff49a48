// Sprite paste and the tile upload on the stand-in device (headless): the overflow messages, the
// refusals, textures made for empty slots, the receiving record's size kept with its pixels, and
// the tiles released with the record's last holder.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "core/alloc_zeroed.h"
#include "core/error_report.h"
#include "core/window_record.h"
#include "engine_fixture.h"
#include "gpu_test_env.h"
#include "layer/layer_payload.h"
#include "platform/platform.h"

namespace korvel {
namespace {

using platform::GpuCall;

class GpuUploadTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    std::ofstream answers(answers_.File("answers"));
    for (int i = 0; i < 16; ++i) answers << "1\n";
    answers.close();
    StartWith({{"KORVEL_ANSWERS", answers_.File("answers")}});
    ASSERT_NO_FATAL_FAILURE(OpenWindowZero(64, 48));
    frame_.Open(64, 48, 1);
    test::g_gpu_plan = test::GpuFaultPlan{};
  }
  void TearDown() override {
    frame_.Close();
    test::g_gpu_plan = test::GpuFaultPlan{};
    HeadlessEngine::TearDown();
  }
  void StartGpu() {
    g_drawing = DrawingModeForField(0);
    platform::SetGpuDeviceWrapper(test::WrapWithPlan);
    ASSERT_EQ(InitGpuHook(), 0);
    ASSERT_NE(g_gpu.device, nullptr);
  }

  test::TempDir answers_;
  test::GpuFrame frame_;
};

// A source image and a receiving layer.
struct Paste {
  LayerData source{}, dest{};
  NamedTreeNode source_node{}, dest_node{};
  std::vector<uint8_t> pixels;
  Paste(int32_t width, int32_t height) {
    pixels = test::RandomFrame(width, height, 2);
    source.width = width;
    source.height = height;
    source.pixels = pixels.data();
    source_node.payload = &source;
    dest_node.payload = &dest;
  }
  ~Paste() { ReleaseLayerTextures(&dest); }
};

TEST_F(GpuUploadTest, TileOverflowsFailWithTheirTexts) {
  ASSERT_NO_FATAL_FAILURE(StartGpu());
  struct Case {
    int32_t width, height;
    const char* text;  // null: uploads
  };
  const Case cases[] = {
      {7936, 16, nullptr},  // 31 tiles of 256
      {7937, 16, " | TXNUM Overflow Error."},
      {16, 7937, " | TYNUM Overflow Error. SX = 16, SY = 7937, mRest = 1"},
      {4352, 4096, " | TXNUM Overflow Error."},  // 17 × 16 = 272 tiles, over the 256 slots
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    g_gpu.max_texture_width = g_gpu.max_texture_height = 256;
    Paste p(c.width, c.height);
    testing::internal::CaptureStderr();
    const int32_t result = PasteSprite(&p.source_node, &p.dest_node);
    const std::string err = testing::internal::GetCapturedStderr();
    if (c.text == nullptr) {
      EXPECT_EQ(result, 0);
      EXPECT_EQ(p.dest.tile_columns, 31);
      EXPECT_EQ(p.dest.tile_rows, 1);
      EXPECT_EQ(test::DialogLines(err), std::vector<std::string>{}) << err;
    } else {
      EXPECT_EQ(result, -1);
      EXPECT_EQ(g_gpu.last_trace, "KR_PASTESPRITE Error.");
      EXPECT_EQ(test::DialogLines(err), std::vector<std::string>{c.text}) << err;
      EXPECT_EQ(p.dest.width, 0);  // nothing changed
      EXPECT_EQ(p.dest.tile_textures[0], nullptr);
    }
  }
}

TEST_F(GpuUploadTest, NoDeviceRefuses) {
  Paste p(20, 10);
  EXPECT_EQ(PasteSprite(&p.source_node, &p.dest_node), -1);
  EXPECT_EQ(g_gpu.last_trace, "KR_PASTESPRITE Error.");
  EXPECT_EQ(p.dest.width, 0);
}

TEST_F(GpuUploadTest, FailingDeviceObjectsRefuseWithTheirTexts) {
  struct Case {
    GpuCall fail;
    std::string text;
  };
  const Case cases[] = {
      {GpuCall::kCreateSurface, "エラー | オフスクリーンサーフェスを生成できませんでした。"},
      {GpuCall::kLockSurface, "エラー | サーフェス転送失敗。"},
      {GpuCall::kCreateTexture,
       " | テクスチャを生成できませんでした。\\nVRAM容量不足の可能性があります。\\n\\n※解決方法\\n"
       "一度ゲームを終了してから[KRSetup.exe]を起動して頂き、ゲーム画面の描画方法の項目を【 "
       "CPU(バイリニア) 】にセットして\\n起動し直していただければ動作いたします。"},
      {GpuCall::kUpdateTexture, ""},  // traced only, but the paste is refused
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    test::g_gpu_plan.fail = c.fail;
    ASSERT_NO_FATAL_FAILURE(StartGpu());
    Paste p(20, 10);
    testing::internal::CaptureStderr();
    EXPECT_EQ(PasteSprite(&p.source_node, &p.dest_node), -1);
    const std::string err = testing::internal::GetCapturedStderr();
    const std::vector<std::string> want =
        c.text.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.text};
    EXPECT_EQ(test::DialogLines(err), want) << err;
    EXPECT_EQ(p.dest.width, 0);
    ReleaseGpuHook();
  }
}

TEST_F(GpuUploadTest, EmptySlotsGetTexturesAndAPasteAgainReusesThem) {
  ASSERT_NO_FATAL_FAILURE(StartGpu());
  Paste p(300, 20);
  g_gpu.max_texture_width = 256;
  p.source.value_slot21 = 7;
  p.source.value_slot22 = -3;
  ASSERT_EQ(PasteSprite(&p.source_node, &p.dest_node), 0);
  EXPECT_EQ(p.dest.tile_columns, 2);
  EXPECT_EQ(p.dest.tile_widths[0], 256u);
  EXPECT_EQ(p.dest.tile_widths[1], 64u);
  EXPECT_EQ(p.dest.tile_heights[0], 32u);
  EXPECT_EQ(p.dest.value_slot21, 7);
  EXPECT_EQ(p.dest.value_slot22, -3);
  void* first = p.dest.tile_textures[0];
  ASSERT_NE(first, nullptr);
  ASSERT_NE(p.dest.tile_textures[1], nullptr);
  EXPECT_EQ(p.dest.tile_textures[2], nullptr);
  ASSERT_EQ(PasteSprite(&p.source_node, &p.dest_node), 0);
  EXPECT_EQ(p.dest.tile_textures[0], first);
}

// A paste of another size into a layer that has tiles: the new tiles fit their textures (the
// stand-in, as OpenGL, takes no surface larger than the texture), and the record describes them.
TEST_F(GpuUploadTest, PastesOfAnotherSizeGetTexturesOfTheirSize) {
  ASSERT_NO_FATAL_FAILURE(StartGpu());
  Paste small(20, 20), large(100, 100), wide(300, 20);
  g_gpu.max_texture_width = 256;
  struct Step {
    const Paste* from;
    uint8_t columns;
    uint32_t first_width, first_height;
  };
  const Step steps[] = {{&small, 1, 32, 32}, {&large, 1, 128, 128}, {&small, 1, 32, 32},
                        {&wide, 2, 256, 32}, {&large, 1, 128, 128}, {&large, 1, 128, 128}};
  for (const Step& step : steps) {
    SCOPED_TRACE(std::to_string(step.from->source.width));
    NamedTreeNode source = step.from->source_node;
    ASSERT_EQ(PasteSprite(&source, &small.dest_node), 0);
    EXPECT_EQ(small.dest.tile_columns, step.columns);
    EXPECT_EQ(small.dest.tile_rows, 1);
    EXPECT_EQ(small.dest.tile_widths[0], step.first_width);
    EXPECT_EQ(small.dest.tile_heights[0], step.first_height);
    EXPECT_EQ(small.dest.width, step.from->source.width);
    EXPECT_NE(small.dest.tile_textures[step.columns - 1], nullptr);
    EXPECT_EQ(small.dest.tile_textures[step.columns], nullptr);
  }
}

TEST_F(GpuUploadTest, SizeChangesOnlyWithThePixels) {
  ASSERT_NO_FATAL_FAILURE(StartGpu());
  Paste bare(40, 30);
  ASSERT_EQ(PasteSprite(&bare.source_node, &bare.dest_node), 0);
  EXPECT_EQ(bare.dest.width, 40);  // no pixel buffer: the size describes the tiles
  EXPECT_EQ(bare.dest.height, 30);

  Paste owned(40, 30);
  std::vector<uint8_t> buffer(10 * 4 * 11 + 4);
  owned.dest.width = owned.dest.height = 10;
  owned.dest.pixels = buffer.data();
  ASSERT_EQ(PasteSprite(&owned.source_node, &owned.dest_node), 0);
  EXPECT_EQ(owned.dest.width, 10);  // its 10 × 10 pixels stay described by their own size
  EXPECT_EQ(owned.dest.height, 10);
  owned.dest.pixels = nullptr;
}

// A capture that cannot have a buffer for its image leaves the layer as it was and fails.
TEST_F(GpuUploadTest, CaptureWithoutMemoryKeepsTheLayer) {
  ASSERT_NO_FATAL_FAILURE(StartGpu());
  Paste p(20, 10);
  p.dest.visible = 1;
  ASSERT_EQ(PasteSprite(&p.source_node, &p.dest_node), 0);
  std::vector<uint8_t> own(10 * 4 * 8 + 4, 0x5A);
  p.dest.pixels = own.data();
  p.dest.width = 10;
  p.dest.height = 7;
  SetAllocFailureForTest(0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(CaptureScreenToLayer(&p.dest_node), -1);
  testing::internal::GetCapturedStderr();
  ResetAllocFailureForTest();
  EXPECT_EQ(LastErrorReport().code, 104030);
  EXPECT_EQ(p.dest.pixels, own.data());
  EXPECT_EQ(p.dest.width, 10);
  EXPECT_EQ(p.dest.height, 7);
  EXPECT_EQ(own[0], 0x5A);
  p.dest.pixels = nullptr;
}

TEST_F(GpuUploadTest, TilesGoWithTheRecordsLastHolder) {
  ASSERT_NO_FATAL_FAILURE(StartGpu());
  InstallGpuPath();
  Paste p(20, 10);
  LayerData* record = AllocZeroedLayerData();
  ASSERT_NE(record, nullptr);
  record->reference_count = 2;
  p.dest_node.payload = record;
  ASSERT_EQ(PasteSprite(&p.source_node, &p.dest_node), 0);
  const auto texture =
      static_cast<platform::GpuTexture>(reinterpret_cast<uintptr_t>(record->tile_textures[0]));
  ASSERT_TRUE(g_gpu.device->TextureAlive(texture));
  ReleaseLayerData(record);  // one holder left
  EXPECT_TRUE(g_gpu.device->TextureAlive(texture));
  ReleaseLayerData(record);  // the last
  EXPECT_FALSE(g_gpu.device->TextureAlive(texture));
  p.dest_node.payload = &p.dest;
}

// Every quad sets its blend state: none for the frame, the mode's row for a layer, mode 0's row for
// modes without one (never the states of the draw before).
TEST_F(GpuUploadTest, EveryDrawSetsItsBlendState) {
  std::vector<platform::GpuDrawState> draws;
  test::g_gpu_plan.draws = &draws;
  ASSERT_NO_FATAL_FAILURE(StartGpu());
  Paste p(20, 10);
  p.dest.visible = 1;
  p.dest.opacity = 128;
  ASSERT_EQ(PasteSprite(&p.source_node, &p.dest_node), 0);
  for (const int8_t mode : {6, 4}) {
    p.dest.blend_mode = mode;
    EXPECT_EQ(CaptureScreenToLayer(&p.dest_node), 0);
  }
  FreeBlock(p.dest.pixels);
  p.dest.pixels = nullptr;
  frame_.Present(1);
  ASSERT_EQ(draws.size(), 3u);
  EXPECT_TRUE(draws[0].blend);
  EXPECT_EQ(draws[0].op, platform::GpuBlendOp::kMax);
  EXPECT_TRUE(draws[1].blend);
  EXPECT_EQ(draws[1].op, platform::GpuBlendOp::kAdd);
  EXPECT_EQ(draws[1].src, platform::GpuBlendFactor::kSrcAlpha);
  EXPECT_EQ(draws[1].dst, platform::GpuBlendFactor::kInvSrcAlpha);
  EXPECT_EQ(draws[1].texture_factor, 0x80808080u);
  EXPECT_FALSE(draws[2].blend);  // the frame quad
  EXPECT_EQ(draws[2].program, platform::GpuProgram::kFrameEffectA);
}

// The frame texture takes min(frame, logical size, texture) per axis and is clear elsewhere; it is
// made again, larger, when the logical size outgrows it.
TEST_F(GpuUploadTest, FrameUploadCopiesWhatFitsAndClearsTheRest) {
  frame_.Close();
  ASSERT_NO_FATAL_FAILURE(OpenWindowZero(64, 48));
  frame_.Open(80, 30, 4);  // wider than the window's logical 64, lower than its 48
  ASSERT_NO_FATAL_FAILURE(StartGpu());
  frame_.Present(1);
  ASSERT_EQ(g_gpu.tex_width, 256);
  ASSERT_EQ(g_gpu.tex_height, 256);
  uint8_t* bits = nullptr;
  int32_t pitch = 0;
  ASSERT_TRUE(g_gpu.device->LockSurface(g_gpu.frame_surface, &bits, &pitch));
  for (int32_t y = 0; y < 256; ++y) {
    for (int32_t x = 0; x < 256; ++x) {
      const uint8_t* got = bits + static_cast<size_t>(y) * pitch + x * 4;
      const uint8_t zero[4] = {0, 0, 0, 0};
      const uint8_t* want =
          x < 64 && y < 30 ? frame_.pixels().data() + (static_cast<size_t>(y) * 80 + x) * 4 : zero;
      ASSERT_EQ(std::memcmp(got, want, 4), 0) << x << "," << y;
    }
  }
  ASSERT_TRUE(g_gpu.device->UnlockSurface(g_gpu.frame_surface));
  g_windows[0]->logical_width = 5000;
  frame_.Present(2);
  EXPECT_EQ(g_gpu.tex_width, 8192);
  EXPECT_EQ(g_drawing.gpu, 1);
}

}  // namespace
}  // namespace korvel
