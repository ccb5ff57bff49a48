// The GPU path's failures, through the failing device wrapper over the stand-in device (headless):
// each failing call shows its texts in order, once, and the frames from then on are the CPU's,
// equal to a run that never had GPU drawing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/sjis_text.h"
#include "core/window_record.h"
#include "engine_fixture.h"
#include "gpu_test_env.h"
#include "layer/layer_payload.h"
#include "layer/layer_record.h"
#include "platform/platform.h"
#include "png_pixels.h"

namespace korvel {
namespace {

using platform::GpuCall;

constexpr int32_t kW = 40, kH = 30;

class GpuFaultTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    std::ofstream answers(answers_.File("answers"));
    for (int i = 0; i < 64; ++i) answers << "1\n";
    answers.close();
    StartWith({{"KORVEL_DUMP", dumps_.path()}, {"KORVEL_ANSWERS", answers_.File("answers")}});
    ASSERT_NO_FATAL_FAILURE(OpenWindowZero(kW, kH));
    frame_.Open(kW, kH, 7);
  }
  void TearDown() override {
    frame_.Close();
    test::g_gpu_plan = test::GpuFaultPlan{};
    HeadlessEngine::TearDown();
  }

  // Start-up's step: the GPU device for drawing mode `mode`; on failure start-up's own message.
  int StartGpu(int8_t mode) {
    g_drawing = DrawingModeForField(mode == 3 ? 0 : 1);
    platform::SetGpuDeviceWrapper(test::WrapWithPlan);
    const int result = InitGpuHook();
    if (result == 1) {
      platform::MessageBox(platform::kNoWindow, "",
                           Sjis("GPU描画が出来ませんでした。CPU描画に移行します。"),
                           platform::kMbOk);
    }
    return result;
  }

  std::string DumpPath(uint64_t n) const {
    char name[32];
    std::snprintf(name, sizeof name, "/w0-%06llu.png", static_cast<unsigned long long>(n));
    return dumps_.path() + name;
  }
  // The dump of frame n equals the frame (what the CPU path shows unscaled).
  void ExpectCpuFrame(uint64_t n) {
    test::PngPixels png;
    ASSERT_TRUE(test::ReadPngPixels(DumpPath(n), &png)) << "frame " << n;
    ASSERT_EQ(png.w, kW);
    ASSERT_EQ(png.h, kH);
    EXPECT_EQ(std::memcmp(png.px.data(), frame_.pixels().data(), png.px.size() * 4), 0)
        << "frame " << n;
  }

  test::TempDir dumps_, answers_;
  test::GpuFrame frame_;
};

constexpr const char* kFallBack = " | GPU描画が出来ませんでした。CPU描画に移行します。";

TEST_F(GpuFaultTest, EachFailingCallShowsItsTextsThenCpuFrames) {
  struct Case {
    const char* what;
    GpuCall fail;
    int32_t nth;
    uint64_t always;
    bool reset_before_frame_2;
    std::vector<std::string> texts;
    std::vector<uint64_t> cpu_frames;  // frames 1 and 2 change, 3 and 4 are still
  };
  const uint64_t all_contexts = (1ull << static_cast<int>(GpuCall::kCreateContextCore33)) |
                                (1ull << static_cast<int>(GpuCall::kCreateContextCore33Any)) |
                                (1ull << static_cast<int>(GpuCall::kCreateContextEs30));
  const std::string env_check =
      "環境チェック | ビデオカードにピクセルシェーダ 2.0以降 が実装されていません。\\n"
      "ビデオカードが推奨スペック(※DirectX9.0 に対応したAGP/PCI-E接続ビデオカード、もしくはチップセット)を\\n"
      "満たしていない可能性があります。\\n\\n"
      "[KRSetup.exe]を起動して頂き、ゲーム画面の描画方法の項目を【 CPU(バイリニア) 】にセットして\\n"
      "起動し直していただければ動作いたします。";
  const Case cases[] = {
      {"display mode", GpuCall::kDisplayMode, 0, 0, false,
       {" | [DX]現在のディスプレイモードを取得できませんでした。(DispNo.0)", kFallBack}, {1, 2}},
      {"every context try", GpuCall::kNone, 0, all_contexts, false,
       {" | [Direct3Dエラー]頂点処理ソフトウェアエミュレーションに失敗しました。", kFallBack}, {1, 2}},
      {"caps unreadable", GpuCall::kCaps, 0, 0, false, {env_check, kFallBack}, {1, 2}},
      {"vertex layout", GpuCall::kVertexLayout, 0, 0, false,
       {" | CreateVertexDeclaration エラー.", kFallBack}, {1, 2}},
      {"frame effect", GpuCall::kFrameEffect, 0, 0, false,
       {" | [エラー] Shader Init Error.", kFallBack}, {1, 2}},
      {"frame texture", GpuCall::kCreateTexture, 0, 0, false,
       {" | テクスチャを生成できませんでした。"}, {2}},
      {"frame surface", GpuCall::kCreateSurface, 0, 0, false,
       {"エラー | オフスクリーンサーフェスを生成できませんでした。"}, {2}},
      {"lock", GpuCall::kLockSurface, 0, 0, false, {"エラー | CTG 転送できませんでした。"}, {2}},
      {"unlock", GpuCall::kUnlockSurface, 0, 0, false, {"エラー | CTG 転送できませんでした。"},
       {2}},
      {"upload", GpuCall::kUpdateTexture, 0, 0, false,
       {"エラー | サーフェイス転送できませんでした。"}, {2}},
      {"quad draw", GpuCall::kDrawQuad, 0, 0, false, {}, {2}},
      {"lock on frame 2", GpuCall::kLockSurface, 2, 0, false, {"エラー | CTG 転送できませんでした。"},
       {3}},
      {"reset that fails", GpuCall::kDisplayMode, 2, 0, true,
       {" | [DX]現在のディスプレイモードを取得できませんでした。(DispNo.0)", kFallBack}, {3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int8_t mode : {3, 2}) {
      std::filesystem::remove_all(dumps_.path());
      std::filesystem::create_directories(dumps_.path());
      test::g_gpu_plan = test::GpuFaultPlan{};
      test::g_gpu_plan.fail = c.fail;
      test::g_gpu_plan.nth = c.nth;
      test::g_gpu_plan.always_fail = c.always;
      int32_t uses = 0;
      test::g_gpu_plan.uses = &uses;
      testing::internal::CaptureStderr();
      StartGpu(mode);
      frame_.Present(1);
      if (c.reset_before_frame_2) RequestGpuReset();
      frame_.Present(2);
      frame_.Present(3, false);
      frame_.Present(4, false);
      const std::string err = testing::internal::GetCapturedStderr();
      EXPECT_EQ(test::DialogLines(err), c.texts) << err;
      EXPECT_EQ(g_drawing.gpu, 0);
      EXPECT_EQ(g_drawing.mode, 0);
      EXPECT_EQ(g_drawing.smooth, 1);
      // A still scene is drawn once more by the CPU after the fall-back; a frame the GPU drew
      // or failed leaves no dump.
      for (uint64_t n = 1; n <= 4; ++n) {
        if (std::find(c.cpu_frames.begin(), c.cpu_frames.end(), n) != c.cpu_frames.end()) {
          ExpectCpuFrame(n);
        } else {
          EXPECT_FALSE(std::filesystem::exists(DumpPath(n))) << "frame " << n;
        }
      }
      ReleaseGpuHook();
      g_gpu_requests.reset_requested.store(0);
    }
  }
}

TEST_F(GpuFaultTest, HeadlessHasNoDeviceAndFallsBackSilently) {
  g_drawing = DrawingModeForField(0);
  testing::internal::CaptureStderr();
  EXPECT_EQ(InitGpuHook(), 0);
  frame_.Present(1);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(g_drawing.gpu, 0);
  EXPECT_EQ(g_gpu.device, nullptr);
  ExpectCpuFrame(1);
}

TEST_F(GpuFaultTest, ContextTriesFallThroughInOrder) {
  std::vector<GpuCall> log;
  test::g_gpu_plan.log = &log;
  test::g_gpu_plan.always_fail = (1ull << static_cast<int>(GpuCall::kCreateContextCore33)) |
                                 (1ull << static_cast<int>(GpuCall::kCreateContextCore33Any));
  EXPECT_EQ(StartGpu(3), 0);
  const std::vector<GpuCall> tries(log.begin() + 1, log.begin() + 4);
  EXPECT_EQ(tries, (std::vector<GpuCall>{GpuCall::kCreateContextCore33,
                                         GpuCall::kCreateContextCore33Any,
                                         GpuCall::kCreateContextEs30}));
  EXPECT_EQ(g_gpu.last_trace, "[DX]頂点処理だけソフトウェアエミュレーションで成功しました。");
  EXPECT_EQ(g_drawing.gpu, 1);
}

// A GPU frame that fails shows its box once; the still scene is drawn by the CPU on the next
// frame, and every changed frame after it.
TEST_F(GpuFaultTest, FailureIsShownOnceAndAStillSceneIsRedrawn) {
  test::g_gpu_plan.fail = GpuCall::kUpdateTexture;
  testing::internal::CaptureStderr();
  StartGpu(3);
  frame_.Present(1);
  frame_.Present(2, false);
  frame_.Present(3, false);
  for (uint64_t n = 4; n <= 6; ++n) frame_.Present(n);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(test::DialogLines(err).size(), 1u) << err;
  EXPECT_FALSE(std::filesystem::exists(DumpPath(1)));
  ExpectCpuFrame(2);
  EXPECT_FALSE(std::filesystem::exists(DumpPath(3)));
  for (uint64_t n = 4; n <= 6; ++n) ExpectCpuFrame(n);
}

}  // namespace
}  // namespace korvel
