// A compiled game types a Japanese message into a window layer: headless, the text appears over
// several frames, and the last frame equals the committed golden picture (checked by eye when it was
// made: see tests/fixtures/text/README).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "png_pixels.h"

namespace korvel {
namespace {

constexpr int32_t kW = 160, kH = 64;

// Dark blue, a little lighter towards the bottom.
uint32_t WindowColour(int32_t, int32_t y) { return 0x101848u + uint32_t(y / 4) * 0x000102u; }

// The text wraps after "こんにちは、": at x = 120 of 160 "世" would fill the last column, which
// only characters that may not begin a line may do. Then an explicit new line and a second text.
constexpr char kGame[] =
    ".config width 160\n"
    ".config height 64\n"
    ".config show 1\n"
    "label SYSTEM_START\n"
    "LAYER 0=( \"win\" ) 29=( \"win\" ) 5=( 1 )\n"
    "FONT 8=( 1 )\n"
    "MSGSET 0=( \"win\" ) 10=( 40 ) 17=( 0 ) 18=( 0 ) 19=( 0 )\n"
    "TEXT 0=( \"こんにちは、世界！\" )\n"
    "MSGSET 11=( 1 )\n"
    "TEXT 0=( \"かなとカナ。\" )\n"
    "MSGEND\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

using test::PngPixels;
using test::ReadPngPixels;

class MessageGameTest : public test::GameFolderTest {
 protected:
  void SetUp() override {
    BuildGame({{"main.kas", kGame}});
    game_.Write("win.bmp", test::Bmp24(kW, kH, WindowColour));
    // Only the IPA fonts, so the picture does not depend on what else is installed.
    fonts_.Write("fonts.conf",
                 "<?xml version=\"1.0\"?>\n<fontconfig>\n"
                 "<dir>/usr/share/fonts/opentype/ipafont-gothic</dir>\n"
                 "<dir>/usr/share/fonts/opentype/ipafont-mincho</dir>\n"
                 "<cachedir>" + fonts_.path() + "/cache</cachedir>\n</fontconfig>\n");
  }

  test::TempDir dumps_, fonts_;
};

TEST_F(MessageGameTest, TypesTheMessageAndEndsOnTheGoldenFrame) {
  const test::ProcessResult r = test::RunProcess(
      Args(),
      HeadlessEnv({"KORVEL_FRAMES=90", "KORVEL_DUMP=" + dumps_.path(),
                   "FONTCONFIG_FILE=" + fonts_.File("fonts.conf")}),
      60000);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  ASSERT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;

  std::vector<std::string> dumps;
  for (const auto& e : std::filesystem::directory_iterator(dumps_.path())) {
    dumps.push_back(e.path().string());
  }
  std::sort(dumps.begin(), dumps.end());
  // 15 characters at 40 ms each take more than a dozen frames at 60 per second.
  ASSERT_GT(dumps.size(), 10u);

  PngPixels last, golden, first;
  ASSERT_TRUE(ReadPngPixels(dumps.back(), &last));
  ASSERT_TRUE(ReadPngPixels(dumps.front(), &first));
  const std::string golden_path = std::string(KORVEL_FIXTURES_DIR) + "/text/message_golden.png";
  if (std::getenv("KORVEL_WRITE_GOLDEN") != nullptr) {
    std::filesystem::copy_file(dumps.back(), golden_path,
                               std::filesystem::copy_options::overwrite_existing);
  }
  ASSERT_TRUE(ReadPngPixels(golden_path, &golden)) << golden_path;
  ASSERT_EQ(last.w, golden.w);
  ASSERT_EQ(last.h, golden.h);
  size_t differ = 0, typed_late = 0;
  for (size_t i = 0; i < last.px.size(); ++i) {
    differ += (last.px[i] & 0xFFFFFFu) != (golden.px[i] & 0xFFFFFFu);
    typed_late += (last.px[i] & 0xFFFFFFu) != (first.px[i] & 0xFFFFFFu);
  }
  EXPECT_EQ(differ, 0u) << "last frame " << dumps.back();
  EXPECT_GT(typed_late, 100u);  // the first frame showed only the start of the text
}

}  // namespace
}  // namespace korvel
