// Loading images into layers: the file read through each source, the decoders chosen by type
// code with the errors the layer command reports, the pixel allocator, the transparent colour and
// the frame pacer's restart after a load.
#include "layer/image_layer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/alloc_zeroed.h"
#include "core/engine_state.h"
#include "core/error_report.h"
#include "core/error_texts.h"
#include "core/frame_pacer.h"
#include "engine_fixture.h"
#include "image/gif_frames.h"
#include "image/image_decode.h"
#include "image/image_test_support.h"
#include "lib/kcg_writer.h"
#include "platform/headless/headless_api.h"
#include "platform/platform.h"
#include "resource/compiler_output.h"
#include "resource/loose_files.h"
#include "resource/preload_banks.h"
#include "test_support.h"

namespace korvel {
namespace {

class ImageLayerTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    InitFramePacer();
    InitCompilerOutput();
    InitPreloadBanks();
    InstallErrorTexts();
    layer_ = LayerData{};
    layer_.width = 1;
    layer_.height = 1;
  }
  void TearDown() override {
    FreeBlock(layer_.pixels);
    DestroyGifFrameTable(frames_);
    ShutdownPreloadBanks();
    ShutdownCompilerOutput();
    HeadlessEngine::TearDown();
  }

  // Texts for the decoders' codes that show the name, as a game's kre.kbn gives them.
  static void InstallErrorTexts() {
    std::vector<uint8_t> kbn = {'K', 'R', 'E', 0, 1, 0, 0, 0};
    const int32_t codes[] = {kErrorUnknownImageType, kErrorBmpNotBmp, kErrorBmpPixelOffset,
                             kErrorBmpUnsupported,   kErrorImageTooLarge, kErrorBmpTopDown,
                             kErrorJpegFailed,       kErrorGifFailed, kErrorPsdRefused};
    auto put32 = [&kbn](uint32_t v) {
      for (int i = 0; i < 4; ++i) kbn.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    put32(sizeof codes / sizeof codes[0]);
    put32(0);
    for (int32_t code : codes) {
      put32(static_cast<uint32_t>(code));
      const std::string text = "code " + std::to_string(code) + " [%s]";
      kbn.insert(kbn.end(), text.begin(), text.end());
      kbn.push_back(0);
    }
    ASSERT_TRUE(ParseErrorMessages(kbn, &g_error_messages));
  }

  // Places the bytes in the compiler output under `name` and locates them with `type`.
  ResourceLocator Locate(const std::string& name, const std::vector<uint8_t>& bytes,
                         uint8_t type) {
    EXPECT_EQ(RegisterCompilerOutputFile(name.c_str(), bytes.data(),
                                         static_cast<uint32_t>(bytes.size())),
              0);
    ResourceLocator locator{};
    EXPECT_EQ(FindInCompilerOutput(&locator, name.c_str()), kSourceCompilerOutput);
    locator.type = type;
    return locator;
  }

  int32_t Load(const std::string& fixture, uint8_t type) {
    ResourceLocator locator = Locate(fixture, test::ReadImageFixture(fixture), type);
    const int32_t result = DecodeImageByType(&locator, &layer_, fixture.c_str(), &frames_);
    EXPECT_EQ(locator.data, nullptr) << "the file image is freed";
    return result;
  }

  static void ExpectMessageBox() {
    std::string error;
    ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;
  }

  LayerData layer_{};
  GifFrameTable* frames_ = nullptr;
};

TEST_F(ImageLayerTest, EveryTypeCodeReachesItsDecoder) {
  struct Case {
    const char* fixture;
    uint8_t type;
    int32_t width, height;
    uint8_t alpha;
  };
  const Case cases[] = {
      {"bmp3_24bit.bmp", kTypeBmp, 7, 5, 0},  {"png_rgba8.png", kTypePng, 7, 5, 1},
      {"jpeg_grey.jpg", kTypeJpg, 37, 29, 0}, {"gif_oversize.gif", kTypeGif, 6, 4, 1},
      {"kcg_packed.kcg", kTypeKcg, 7, 5, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fixture);
    layer_.has_alpha = 1;
    ASSERT_EQ(Load(c.fixture, c.type), 0);
    EXPECT_EQ(layer_.width, c.width);
    EXPECT_EQ(layer_.height, c.height);
    EXPECT_EQ(layer_.has_alpha, c.alpha);
    ASSERT_NE(layer_.pixels, nullptr);
    // Only a GIF leaves frames with the layer.
    EXPECT_EQ(frames_ != nullptr, c.type == kTypeGif);
  }
  EXPECT_EQ(LastErrorReport().count, 0u);
  // The pixels are those of the last load.
  const test::ExpectedImage expected = test::ReadExpectedImage("src_rgba.pam");
  EXPECT_EQ(std::memcmp(layer_.pixels, expected.bgra.data(), expected.bgra.size()), 0);
}

TEST_F(ImageLayerTest, FailuresReportTheLayerCommandsCodes) {
  std::vector<uint8_t> broken_jpeg = test::ReadImageFixture("jpeg_baseline.jpg");
  broken_jpeg.resize(300);
  const std::vector<uint8_t> gif_without_image = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1,
                                                  0,   0,   0,   0,   0x3B};
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
    uint8_t type;
    int32_t code;
  };
  const Case cases[] = {
      {"broken JPEG", broken_jpeg, kTypeJpg, kErrorJpegFailed},
      {"CMYK JPEG", test::ReadImageFixture("jpeg_cmyk.jpg"), kTypeJpg, kErrorJpegFailed},
      {"GIF without image", gif_without_image, kTypeGif, kErrorGifFailed},
      {"PSD", test::ReadImageFixture("psd_rgb.psd"), kTypePsd, kErrorPsdRefused},
      {"PSD shorter than its header", {'8', 'B', 'P', 'S'}, kTypePsd, kErrorPsdRefused},
      {"RLE BMP", test::ReadImageFixture("bmp3_rle8.bmp"), kTypeBmp, kErrorBmpUnsupported},
      {"not a BMP", {'P', 'K', 3, 4}, kTypeBmp, kErrorBmpNotBmp},
      {"wave file", {'R', 'I', 'F', 'F'}, kTypeWav, kErrorUnknownImageType},
      {"no type", {1, 2, 3}, kTypeOther, kErrorUnknownImageType},
  };
  uint8_t* const before = static_cast<uint8_t*>(std::malloc(8));
  layer_.pixels = before;
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const uint32_t reports = LastErrorReport().count;
    const std::string name = "file" + std::to_string(index++);
    ResourceLocator locator = Locate(name, c.file, c.type);
    EXPECT_EQ(DecodeImageByType(&locator, &layer_, name.c_str(), nullptr), -1);
    EXPECT_EQ(LastErrorReport().code, c.code);
    EXPECT_GT(LastErrorReport().count, reports);
    EXPECT_NE(LastErrorReport().message.find("[" + name + "]"), std::string::npos);
    // A failed load leaves the layer's pixels as they were.
    EXPECT_EQ(layer_.pixels, before);
    EXPECT_EQ(locator.data, nullptr);
  }
  EXPECT_TRUE(QuitRequested());
}

TEST_F(ImageLayerTest, KcgMessagesAreShownAndAWrongMagicStillLoads) {
  const std::vector<uint8_t> pixels = {1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<uint8_t> file = tools::WriteKcg(pixels.data(), 2, 1, {});
  file[1] = 'X';
  ExpectMessageBox();
  ResourceLocator locator = Locate("magic.kcg", file, kTypeKcg);
  ASSERT_EQ(DecodeImageByType(&locator, &layer_, "magic.kcg", nullptr), 0);
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  EXPECT_EQ(std::memcmp(layer_.pixels, pixels.data(), pixels.size()), 0);

  file.back() ^= 1;  // stream 2's checksum
  ExpectMessageBox();
  ExpectMessageBox();
  locator = Locate("stream.kcg", file, kTypeKcg);
  EXPECT_EQ(DecodeImageByType(&locator, &layer_, "stream.kcg", nullptr), -1);
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
  EXPECT_EQ(LastErrorReport().count, 0u);
  EXPECT_EQ(platform::HeadlessAbortStatus(), 0);
}

TEST_F(ImageLayerTest, FilesAreReadThroughEverySource) {
  const std::vector<uint8_t> bytes = test::ReadImageFixture("png_p4.png");
  // Disk.
  test::TempDir dir;
  dir.Write("cg/title.png", std::string(bytes.begin(), bytes.end()));
  SetLooseFileRoot(dir.path());
  ResourceLocator disk{};
  disk.source = kSourceDisk;
  disk.type = kTypePng;
  ASSERT_EQ(DecodeImageByType(&disk, &layer_, "CG\\Title.png", nullptr), 0);
  EXPECT_EQ(layer_.width, 7);
  SetLooseFileRoot("");
  // Preload bank.
  auto* copy = static_cast<uint8_t*>(std::malloc(bytes.size()));
  std::memcpy(copy, bytes.data(), bytes.size());
  ASSERT_EQ(PushPreloadBankRow(2, "bank.png", kTypePng, copy,
                               static_cast<uint32_t>(bytes.size())),
            0);
  ResourceLocator bank{};
  ASSERT_EQ(FindInPreloadBanks(&bank, "BANK.PNG"), kSourcePreloadBank);
  ASSERT_EQ(DecodeImageByType(&bank, &layer_, "BANK.PNG", nullptr), 0);
  EXPECT_EQ(layer_.height, 5);
  // An unknown source fails without a report.
  ResourceLocator nowhere{};
  nowhere.type = kTypePng;
  EXPECT_EQ(DecodeImageByType(&nowhere, &layer_, "x.png", nullptr), -1);
  EXPECT_EQ(LastErrorReport().count, 0u);
}

TEST_F(ImageLayerTest, FinishingALoadSetsTheTransparentColourAndRestartsThePacer) {
  // A raw 1 x 1 KCG file whose only pixel has alpha 0.
  const uint8_t pixel[4] = {10, 20, 30, 0};
  tools::KcgWriteOptions raw;
  raw.compress = false;
  ResourceLocator locator = Locate("one.kcg", tools::WriteKcg(pixel, 1, 1, raw), kTypeKcg);
  ASSERT_EQ(DecodeImageByType(&locator, &layer_, "one.kcg", nullptr), 0);
  platform::AdvanceClockForTest(1234);
  g_pacer.reference = 5;
  FinishImageLoad(&layer_);
  uint32_t value = 0;
  std::memcpy(&value, layer_.pixels, 4);
  EXPECT_EQ(value, kTransparentColour);
  EXPECT_EQ(g_pacer.reference, platform::NowMs());
  EXPECT_NE(g_pacer.reference, 5u);
}

TEST_F(ImageLayerTest, ApplyTransparentColourTouchesOnlyClearPixels) {
  uint8_t* pixels = AllocCGPixels(nullptr, 3, 1, "t");
  ASSERT_NE(pixels, nullptr);
  const uint8_t row[12] = {1, 2, 3, 0, 4, 5, 6, 1, 7, 8, 9, 255};
  std::memcpy(pixels, row, sizeof row);
  layer_.pixels = pixels;
  layer_.width = 3;
  layer_.height = 1;
  ApplyTransparentColour(&layer_);
  const uint8_t expected[12] = {0x80, 0x80, 0x80, 0, 4, 5, 6, 1, 7, 8, 9, 255};
  EXPECT_EQ(std::memcmp(layer_.pixels, expected, sizeof expected), 0);
}

TEST_F(ImageLayerTest, AllocCGPixelsSizesAndRefuses) {
  uint8_t* pixels = AllocCGPixels(nullptr, 8192, 2, "big");
  ASSERT_NE(pixels, nullptr);
  // width * 4 * (height + 1) + 4 bytes: the last byte is writable (ASan checks).
  pixels[8192 * 4 * 3 + 3] = 1;
  pixels[0] = 42;
  pixels = AllocCGPixels(pixels, 2, 2, "small");
  ASSERT_NE(pixels, nullptr);
  EXPECT_EQ(pixels[0], 42);
  pixels[2 * 4 * 3 + 3] = 1;
  layer_.pixels = pixels;

  for (const auto& [width, height] : {std::pair{8193, 1}, std::pair{1, 8193}, std::pair{-1, 4},
                                      std::pair{4, -5}}) {
    ExpectMessageBox();
    EXPECT_EQ(AllocCGPixels(nullptr, width, height, "x"), nullptr);
    EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);
    EXPECT_EQ(LastErrorReport().code, kErrorNoMemory);
  }
}

TEST_F(ImageLayerTest, AGifLoadReplacesTheFrameTable) {
  ASSERT_EQ(Load("gif_control.gif", kTypeGif), 0);
  ASSERT_NE(frames_, nullptr);
  EXPECT_EQ(frames_->frames.size(), 3u);
  ASSERT_EQ(Load("gif_plain.gif", kTypeGif), 0);
  EXPECT_EQ(frames_->frames.size(), 1u);
  EXPECT_EQ(frames_->screen_width, 13);
  // Without a slot the frames are dropped.
  ResourceLocator locator = Locate("drop.gif", test::ReadImageFixture("gif_code2.gif"), kTypeGif);
  ASSERT_EQ(DecodeGifImage(&locator, &layer_, "drop.gif"), 0);
  EXPECT_EQ(layer_.width, 16);
}

}  // namespace
}  // namespace korvel
