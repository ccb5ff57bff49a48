// A compiled game loads a KCG image by its full name: the frame dump shows the pixels of the PNG the
// image was made from by the real kcgpack, zlib-compressed (inflated on the worker pool) and raw.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_fixture.h"
#include "param_names.h"
#include "png_pixels.h"

namespace korvel {
namespace {

using test::PrintTo;

struct KcgGameCase {
  std::string name;
  std::vector<std::string> pack_options;  // kcgpack's
  std::string image;                      // the name the script loads
};

// The sample game's background: 640 x 480, the default screen.
const std::string kSource = std::string(KORVEL_SOURCE_DIR) + "/samples/sample-game/media/bg.png";

class KcgGameTest : public test::GameFolderTest,
                    public ::testing::WithParamInterface<KcgGameCase> {};

TEST_P(KcgGameTest, DumpShowsThePixelsOfThePng) {
  const KcgGameCase& c = GetParam();
  std::vector<std::string> pack = {std::string(KORVEL_BUILD_DIR) + "/kcgpack"};
  pack.insert(pack.end(), c.pack_options.begin(), c.pack_options.end());
  pack.push_back(kSource);
  pack.push_back(game_.File("bg.kcg"));
  const test::ProcessResult packed = test::RunProcess(pack, {}, 60000);
  ASSERT_EQ(packed.exit_status, 0) << packed;

  BuildGame({{"main.kas", "label SYSTEM_START\n"
                          "LAYER 0=( \"bg\" ) 29=( \"" + c.image + "\" ) 5=( 1 )\n"
                          "loop -1\n"
                          "  WAIT 0=( 1 )\n"
                          "end\n"}});
  test::TempDir dumps;
  const test::ProcessResult r = test::RunProcess(
      Args(), HeadlessEnv({"KORVEL_FRAMES=2", "KORVEL_DUMP=" + dumps.path()}), 60000);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_status, 0);
  ASSERT_EQ(r.stderr_text.find("korvel: error"), std::string::npos);

  test::PngPixels want, got;
  ASSERT_TRUE(test::ReadPngPixels(kSource, &want));
  ASSERT_TRUE(test::ReadPngPixels(dumps.File("w0-000001.png"), &got));
  ASSERT_EQ(got.w, want.w);
  ASSERT_EQ(got.h, want.h);
  size_t differ = 0;
  for (size_t i = 0; i < got.px.size(); ++i) differ += got.px[i] != want.px[i];
  EXPECT_EQ(differ, 0u) << "first pixel " << std::hex << got.px[0] << " instead of " << want.px[0];
}

INSTANTIATE_TEST_SUITE_P(
    FullName, KcgGameTest,
    ::testing::Values(KcgGameCase{"Zlib", {}, "bg.kcg"}, KcgGameCase{"Raw", {"--raw"}, "bg.kcg"},
                      KcgGameCase{"Capitals", {}, "BG.KCG"}),
    test::CaseName());

}  // namespace
}  // namespace korvel
