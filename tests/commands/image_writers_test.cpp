// The image writers against tools nobody here wrote: `file`, `pngcheck -v`, ImageMagick's
// `compare -metric AE` and `djpeg`; BMP row padding and sizes; the alpha rule of PNG; a write cut
// short by the file-size limit leaving the old file whole; nothing written for a layer without
// pixels; "File Create Error." when no file can be made.
#include "image/image_writers.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/layer_writers.h"
#include "engine_fixture.h"
#include "platform/headless/headless_api.h"
#include "test_support.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

// A seeded BGRA picture with every channel varying.
struct Picture {
  int32_t width, height;
  std::vector<uint8_t> bgra;
  Picture(int32_t w, int32_t h, uint32_t seed) : width(w), height(h) {
    bgra.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4 + 4);
    uint32_t s = seed;
    for (auto& b : bgra) {
      s = s * 1664525u + 1013904223u;
      b = static_cast<uint8_t>(s >> 24);
    }
  }
  WritableImage Image(uint8_t has_alpha = 1) {
    return WritableImage{bgra.data(), width, height, has_alpha};
  }
};

class ImageWriterTest : public test::HeadlessEngine {
 protected:
  std::string Path(const std::string& name) const { return dir_.File(name); }
  // The picture as ImageMagick reads raw BGRA, saved as a reference PNG.
  std::string Reference(const Picture& p, bool opaque) {
    const std::string raw = dir_.Write("ref.bgra", std::string(p.bgra.begin(),
                                                            p.bgra.begin() + p.width * p.height * 4));
    const std::string out = Path(opaque ? "ref-opaque.png" : "ref.png");
    const std::string cmd = "convert -size " + std::to_string(p.width) + "x" +
                            std::to_string(p.height) + " -depth 8 bgra:" + raw +
                            (opaque ? " -alpha off " : " ") + out + " 2>&1";
    EXPECT_EQ(test::CaptureCommand(cmd), "");
    return out;
  }
  static std::string AbsoluteError(const std::string& a, const std::string& b) {
    return test::CaptureCommand("compare -metric AE " + a + " " + b + " null: 2>&1");
  }

  test::TempDir dir_;
};

TEST_F(ImageWriterTest, BmpMatchesImageMagickWithPaddedRows) {
  for (const int32_t width : {1, 3, 4, 5}) {
    Picture p(width, 3, static_cast<uint32_t>(width));
    const std::string name = "w" + std::to_string(width) + ".bmp";
    ASSERT_EQ(WriteImageBmp(p.Image(), dir_.path(), name), 0);
    const std::string bytes = test::ReadFile(Path(name));
    const uint32_t stride = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
    ASSERT_EQ(bytes.size(), 54 + stride * 3);
    uint32_t size_field = 0;
    std::memcpy(&size_field, bytes.data() + 2, 4);
    EXPECT_EQ(size_field, bytes.size());
    // The layer's top row is the file's last row; the padding bytes are zero.
    const size_t last = 54 + 2 * stride;
    EXPECT_EQ(static_cast<uint8_t>(bytes[last]), p.bgra[0]);
    EXPECT_EQ(static_cast<uint8_t>(bytes[last + 2]), p.bgra[2]);
    for (uint32_t pad = static_cast<uint32_t>(width) * 3; pad < stride; ++pad) {
      EXPECT_EQ(bytes[54 + pad], 0) << width;
    }
    EXPECT_NE(test::CaptureCommand("file -b " + Path(name)).find("PC bitmap"), std::string::npos);
    EXPECT_EQ(AbsoluteError(Path(name), Reference(p, true)), "0") << width;
  }
  Picture one(1, 1, 9);
  ASSERT_EQ(WriteImageBmp(one.Image(), dir_.path(), "one.bmp"), 0);
  EXPECT_EQ(test::ReadFile(Path("one.bmp")).size(), 58u);
}

TEST_F(ImageWriterTest, PngMatchesImageMagickWithItsGamma) {
  for (const int32_t level : {0, 5, 9}) {
    Picture p(3, 5, 40u + static_cast<uint32_t>(level));
    const std::vector<uint8_t> before = p.bgra;
    const std::string name = "l" + std::to_string(level) + ".png";
    ASSERT_EQ(WriteImagePng(p.Image(1), dir_.path(), name, level), 0);
    EXPECT_EQ(p.bgra, before);  // alpha kept, in the layer and in the file
    const std::string check = test::CaptureCommand("pngcheck -v " + Path(name) + " 2>&1");
    EXPECT_NE(check.find("gAMA"), std::string::npos) << check;
    EXPECT_NE(check.find("0.45455"), std::string::npos) << check;
    EXPECT_NE(check.find("RGB+alpha"), std::string::npos) << check;
    EXPECT_NE(check.find("No errors"), std::string::npos) << check;
    EXPECT_NE(test::CaptureCommand("file -b " + Path(name)).find("8-bit/color RGBA"),
              std::string::npos);
    EXPECT_EQ(AbsoluteError(Path(name), Reference(p, false)), "0");
  }
}

TEST_F(ImageWriterTest, PngOfALayerWithoutAlphaMakesTheLayerOpaque) {
  Picture p(4, 2, 7);
  ASSERT_EQ(WriteImagePng(p.Image(0), dir_.path(), "opaque.png", 5), 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(p.bgra[static_cast<size_t>(i) * 4 + 3], 255);
  EXPECT_EQ(AbsoluteError(Path("opaque.png"), Reference(p, false)), "0");
  // BMP and JPEG never change the layer.
  Picture q(4, 2, 8);
  const std::vector<uint8_t> before = q.bgra;
  ASSERT_EQ(WriteImageBmp(q.Image(0), dir_.path(), "q.bmp"), 0);
  ASSERT_EQ(WriteImageJpeg(q.Image(0), dir_.path(), "q.jpg", 90), 0);
  EXPECT_EQ(q.bgra, before);
}

TEST_F(ImageWriterTest, JpegDecodesWithinTolerance) {
  // Smooth gradients: JPEG keeps them close at high quality.
  Picture p(33, 17, 1);
  for (int32_t y = 0; y < p.height; ++y) {
    for (int32_t x = 0; x < p.width; ++x) {
      uint8_t* px = &p.bgra[(static_cast<size_t>(y) * 33 + static_cast<size_t>(x)) * 4];
      px[0] = static_cast<uint8_t>(x * 7);
      px[1] = static_cast<uint8_t>(y * 13);
      px[2] = static_cast<uint8_t>(200 - x * 3);
    }
  }
  ASSERT_EQ(WriteImageJpeg(p.Image(), dir_.path(), "g.jpg", 100), 0);
  EXPECT_NE(test::CaptureCommand("file -b " + Path("g.jpg")).find("JPEG image data"),
            std::string::npos);
  const std::string ppm = test::CaptureCommand("djpeg -pnm " + Path("g.jpg"));
  const std::string head = "P6\n33 17\n255\n";
  ASSERT_EQ(ppm.substr(0, head.size()), head);
  ASSERT_EQ(ppm.size(), head.size() + 33 * 17 * 3);
  int worst = 0;
  for (size_t i = 0; i < 33 * 17; ++i) {
    for (int c = 0; c < 3; ++c) {
      const int got = static_cast<uint8_t>(ppm[head.size() + i * 3 + static_cast<size_t>(c)]);
      const int want = p.bgra[i * 4 + static_cast<size_t>(2 - c)];
      worst = std::max(worst, std::abs(got - want));
    }
  }
  EXPECT_LE(worst, 8);
}

TEST_F(ImageWriterTest, ImageWithoutPixelsWritesNothing) {
  LayerData layer{};
  layer.width = layer.height = 4;
  EXPECT_EQ(WriteLayerBmp(&layer, dir_.path(), "n.bmp"), -1);
  EXPECT_EQ(WriteLayerPng(&layer, dir_.path(), "n.png", 5), -1);
  EXPECT_EQ(WriteLayerJpeg(&layer, dir_.path(), "n.jpg", 90), -1);
  EXPECT_TRUE(fs::is_empty(dir_.path()));
}

TEST_F(ImageWriterTest, NoFileToMakeShowsTheCreationMessage) {
  Picture p(2, 2, 3);
  std::string error;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(platform::QueueHeadlessAnswer("1", &error)) << error;
  }
  EXPECT_EQ(WriteImageBmp(p.Image(), dir_.path(), "none\\x.bmp"), -1);
  EXPECT_EQ(WriteImagePng(p.Image(), dir_.path(), "..\\x.png", 5), -1);
  EXPECT_EQ(WriteImageJpeg(p.Image(), dir_.path(), "c:\\x.jpg", 90), -1);
  EXPECT_EQ(platform::HeadlessAnswersLeft(), 0u);  // one box each
}

// In a child process with a file-size limit below the image: every writer fails and the old
// file stays as it was, with no temporary file left behind.
TEST_F(ImageWriterTest, WriteCutShortLeavesTheOldFileWhole) {
  Picture p(256, 256, 5);
  struct Case {
    const char* name;
    int expected;
  };
  for (const Case c : {Case{"big.bmp", 1}, Case{"big.png", 1}, Case{"big.jpg", 2}}) {
    dir_.Write(c.name, "old contents");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      signal(SIGXFSZ, SIG_IGN);
      rlimit limit{4096, 4096};
      setrlimit(RLIMIT_FSIZE, &limit);
      const std::string name = c.name;
      int32_t result = 0;
      if (name.ends_with(".bmp")) result = WriteImageBmp(p.Image(), dir_.path(), name);
      if (name.ends_with(".png")) result = WriteImagePng(p.Image(), dir_.path(), name, 0);
      if (name.ends_with(".jpg")) result = WriteImageJpeg(p.Image(), dir_.path(), name, 100);
      _exit(-result);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), c.expected) << c.name;
    EXPECT_EQ(test::ReadFile(Path(c.name)), "old contents") << c.name;
  }
  for (const auto& entry : fs::directory_iterator(dir_.path())) {
    EXPECT_EQ(entry.path().filename().string().rfind(".korvel-write", 0), std::string::npos);
  }
}

}  // namespace
}  // namespace korvel
