// Commands 92, 93 and 94 on files made by the multi-frame writer: frames clamped into range, the
// alpha flag, answers before and after a load, the load errors, and broken parts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "commands/multi_frame_commands.h"
#include "image/multi_frame_decode.h"
#include "commands/command_args.h"
#include "layer/layer_test_env.h"
#include "lib/multi_frame_writer.h"
#include "resource/data_file_lookup.h"
#include "script/decoded_arguments.h"
#include "script/variables.h"
#include "support/image/multi_frame_decoder_probe.h"

namespace korvel {
namespace {

using Bytes = std::vector<uint8_t>;
using test::MultiFrameDecoderCreated;
using tools::EncodeJpeg;
using tools::MultiFrameSource;
using tools::WriteMultiFrameFile;

constexpr uint32_t kIntVar = 1000;
constexpr uint32_t kRealVar = 1001;

// A w x h JPEG of one colour (0xRRGGBB) or, with `grey`, of one grey level.
Bytes Solid(int32_t w, int32_t h, uint32_t rgb, bool grey = false) {
  std::vector<uint8_t> pixels(size_t(w) * h * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i] = static_cast<uint8_t>(rgb);
    pixels[i + 1] = static_cast<uint8_t>(rgb >> 8);
    pixels[i + 2] = static_cast<uint8_t>(rgb >> 16);
    pixels[i + 3] = static_cast<uint8_t>(rgb);
  }
  return EncodeJpeg(pixels.data(), w, h, grey, 100);
}

bool Near(uint32_t pixel, uint32_t expected) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int a = static_cast<int>((pixel >> shift) & 0xFF);
    const int b = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - b) > 2) return false;
  }
  return true;
}

class MultiFrameCommands : public test::LayerEnv {
 protected:
  void SetUp() override {
    LayerEnv::SetUp();
    InitResourceLookup(files_.path());
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    const uint32_t dims[1] = {2};
    ASSERT_EQ(FillVarIntInit(kIntVar, 1, dims, -7), 0);
    ASSERT_EQ(FillVarRealInit(kRealVar, 1, dims, -7.0), 0);
    InitMultiFrameState();
    MakeImage("pic", 0, 0, 20, 10, 1, 0xFF102030);
    Frame();
  }
  void TearDown() override {
    test::ResetCommandArgs();
    ShutdownMultiFrameState();
    FreeVariableRecords();
    ShutdownResourceLookup();
    LayerEnv::TearDown();
  }

  void WriteFile(const std::string& name, const Bytes& bytes) {
    files_.Write(name, std::string(bytes.begin(), bytes.end()));
  }
  // Three 16 x 8 frames: red, green, blue; with `alpha`, grey levels 40, 120, 200 as alpha.
  Bytes ThreeFrames(uint32_t alpha_flag) {
    std::vector<MultiFrameSource> frames = {{Solid(16, 8, 0xFF0000), Solid(16, 8, 40, true)},
                                            {Solid(16, 8, 0x00FF00), Solid(16, 8, 120, true)},
                                            {Solid(16, 8, 0x0000FF), Solid(16, 8, 200, true)}};
    return WriteMultiFrameFile(frames, {alpha_flag, 11, 22, 33});
  }

  void Args() { args_.Clear(); }
  void Text(uint8_t param, const std::string& text) { args_.Text(param, text); }
  void Num(uint8_t param, int64_t value) { args_.Num(param, value); }
  void Dest(uint32_t var, int64_t element = 0) { args_.Dest(0, var, element); }

  int32_t Show(const std::string& layer, const std::string& file, int64_t frame) {
    Args();
    if (!layer.empty()) Text(0, layer);
    if (!file.empty()) Text(1, file);
    Num(2, frame);
    return RunMultiFrameShowCommand();
  }
  int64_t Info(uint8_t param, uint32_t var = kIntVar) {
    Args();
    Dest(var);
    Num(param, 0);
    EXPECT_EQ(RunMultiFrameInfoCommand(), 0);
    return GetVarIntElement(var, 0);
  }

  test::TempDir files_;
  test::CommandArgs args_;
};

TEST_F(MultiFrameCommands, FramesOutOfRangeClampAndTheLayerTakesTheFrameSize) {
  WriteFile("anim/frames.kmf", ThreeFrames(0));
  struct Case {
    int64_t frame;
    uint32_t colour;
  };
  const Case cases[] = {{-5, 0xFFFF0000}, {0, 0xFFFF0000}, {1, 0xFF00FF00},
                        {2, 0xFF0000FF},  {6, 0xFF0000FF}, {INT64_MIN, 0xFFFF0000},
                        {INT64_MAX, 0xFF0000FF}};
  // The name is lower-cased and '/' becomes '\' before the lookup.
  ASSERT_EQ(Show("pic", "Anim/FRAMES.kmf", 1), 0);
  for (const Case& c : cases) {
    ASSERT_EQ(Show("pic", "", c.frame), 0) << c.frame;
    LayerData* l = Layer("pic");
    EXPECT_EQ(l->width, 16);
    EXPECT_EQ(l->height, 8);
    EXPECT_TRUE(Near(PixelAt(l, 5, 5), c.colour)) << c.frame << std::hex << " " << PixelAt(l, 5, 5);
    EXPECT_EQ(l->has_alpha, 0);
    EXPECT_TRUE(Frame()) << "the layer is composed again";
  }
  EXPECT_EQ(Info(1), 3);
  EXPECT_EQ(Info(2), 11);
  EXPECT_EQ(Info(3), 22);
  EXPECT_EQ(Info(4), 33);
  EXPECT_EQ(Reports(), 0u);
}

TEST_F(MultiFrameCommands, AlphaFlagSetsAlphaBytesAndTheLayerFlag) {
  WriteFile("a1.kmf", ThreeFrames(1));
  WriteFile("a0.kmf", ThreeFrames(0));
  ASSERT_EQ(Show("pic", "a1.kmf", 1), 0);
  LayerData* l = Layer("pic");
  EXPECT_EQ(l->has_alpha, 1);
  EXPECT_TRUE(Near(PixelAt(l, 3, 3), 0x7800FF00)) << std::hex << PixelAt(l, 3, 3);
  ASSERT_EQ(Show("pic", "a0.kmf", 1), 0);
  EXPECT_EQ(l->has_alpha, 0);
  for (int32_t y = 0; y < l->height; ++y) {
    for (int32_t x = 0; x < l->width; ++x) ASSERT_EQ(PixelAt(l, x, y) >> 24, 0xFFu);
  }
}

TEST_F(MultiFrameCommands, NothingLoadedOrNoFramesShowsNothing) {
  const Bytes before = Pixels(Layer("pic"));
  EXPECT_EQ(Info(1), 0) << "no file: no frames";
  EXPECT_EQ(Show("pic", "", 0), 0);
  EXPECT_EQ(Pixels(Layer("pic")), before);
  EXPECT_FALSE(Frame());
  WriteFile("empty.kmf", WriteMultiFrameFile({}, {0, 5, 6, 7}));
  EXPECT_EQ(Show("pic", "empty.kmf", 0), 0);
  EXPECT_EQ(Pixels(Layer("pic")), before);
  EXPECT_EQ(Info(2), 5);
  EXPECT_EQ(Reports(), 0u);
}

TEST_F(MultiFrameCommands, InfoAnswersTheFirstGivenIntoIntegerOrDouble) {
  WriteFile("f.kmf", ThreeFrames(0));
  Args();
  Text(1, "f.kmf");
  ASSERT_EQ(RunMultiFrameShowCommand(), 0);
  Args();
  Dest(kRealVar);
  Num(4, 0);
  Num(2, 0);
  ASSERT_EQ(RunMultiFrameInfoCommand(), 0);
  EXPECT_EQ(GetVarRealElement(kRealVar, 0), 11.0);
  Args();
  Dest(kIntVar, 5);  // outside the variable: nothing stored
  Num(1, 0);
  EXPECT_EQ(RunMultiFrameInfoCommand(), 0);
  Args();
  ASSERT_EQ(RunMultiFrameReleaseCommand(), 0);
  EXPECT_EQ(Info(1), 0);
  EXPECT_EQ(Info(2), 0);
}

TEST_F(MultiFrameCommands, LoadErrorsAreFatalAndTheOldFileIsGone) {
  WriteFile("good.kmf", ThreeFrames(0));
  Bytes bad = ThreeFrames(0);
  bad[8] = 200;  // frame count past the file
  WriteFile("bad.kmf", bad);
  struct Case {
    std::string layer, file;
    int32_t code;
  };
  const Case cases[] = {{"nolayer", "", 101250}, {"pic", "missing.kmf", 104060},
                        {"pic", "bad.kmf", 104010}};
  for (const Case& c : cases) {
    ASSERT_EQ(Show("pic", "good.kmf", 0), 0);
    EXPECT_EQ(Info(1), 3);
    const uint32_t reports = Reports();
    EXPECT_EQ(Show(c.layer, c.file, 0), -1) << c.file;
    EXPECT_EQ(LastCode(), c.code) << c.file;
    EXPECT_EQ(Reports(), reports + 1);
    if (!c.file.empty()) {
      EXPECT_EQ(Info(1), 0) << c.file;
    }
  }
}

TEST_F(MultiFrameCommands, ABrokenPartLeavesTheLayerAsItWas) {
  Bytes truncated = Solid(16, 8, 0xFF0000);
  truncated.resize(truncated.size() / 2);
  const std::vector<MultiFrameSource> frames = {
      {Solid(16, 8, 0x00FF00), Solid(16, 8, 9, true)},
      {truncated, {}},
      {Solid(16, 8, 0xFF0000), Solid(8, 8, 9, true)}};  // alpha of another size
  WriteFile("broken.kmf", WriteMultiFrameFile(frames, {1, 0, 0, 0}));
  ASSERT_EQ(Show("pic", "broken.kmf", 0), 0);
  Frame();
  LayerData* l = Layer("pic");
  const Bytes before = Pixels(l);
  for (int64_t frame : {1, 2}) {
    const uint32_t reports = Reports();
    EXPECT_EQ(Show("pic", "", frame), -1);
    EXPECT_EQ(LastCode(), 100210);
    EXPECT_EQ(Reports(), reports + 1);
    EXPECT_EQ(l->width, 16);
    EXPECT_EQ(Pixels(l), before);
    EXPECT_EQ(l->has_alpha, 1);
    EXPECT_FALSE(Frame());
  }
  // The decompressor was reset: the next good frame decodes.
  EXPECT_EQ(Show("pic", "", 0), 0);
  EXPECT_TRUE(MultiFrameDecoderCreated());
}

}  // namespace
}  // namespace korvel
