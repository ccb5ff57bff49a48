// The real program: fonts listed at start-up and commands 21 and 22 in a game; no installed font
// at all ends start-up with a message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_fixture.h"
#include "font_test_env.h"

namespace korvel {
namespace {

using test::ProcessResult;
using test::RunProcess;
using test::TempDir;

class FontStartupTest : public test::GameFolderTest {
 protected:
  void Build(const std::string& main) { BuildGame({{"main.kas", main}}); }
  ProcessResult Run(const std::string& fonts_conf) {
    return RunProcess(Args(), HeadlessEnv({"FONTCONFIG_FILE=" + fonts_conf}), 60000);
  }
  TempDir fonts_;
};

TEST_F(FontStartupTest, GameSetsAndReadsTheMessageFont) {
  ASSERT_FALSE(test::UseIpaFontsOnly().empty());
  // An unknown command (24) ends the game with a fatal error when a check fails.
  Build(".global int v\nlabel SYSTEM_START\n"
        "FONTINFO 11=( 1 ) 18=( $v )\nif $v 4 !=\n  24\nend\n"
        "FONT 9=( 300 ) 0=( 0 )\nFONTINFO 8=( 1 ) 18=( $v )\nif $v 300 !=\n  24\nend\n"
        "FONTINFO 14=( 1 ) 17=( \"あ\" ) 18=( $v )\nif $v 256 !=\n  24\nend\n"
        "QUIT\n");
  char* conf = getenv("FONTCONFIG_FILE");
  ASSERT_NE(conf, nullptr);
  const ProcessResult r = Run(conf);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 0) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
}

TEST_F(FontStartupTest, NoInstalledFontIsAStartUpError) {
  Build("label SYSTEM_START\nQUIT\n");
  const std::string conf = fonts_.Write(
      "fonts.conf", "<?xml version=\"1.0\"?>\n<fontconfig>\n  <dir>" + fonts_.File("empty") +
                        "</dir>\n  <cachedir>" + fonts_.File("cache") + "</cachedir>\n</fontconfig>\n");
  const ProcessResult r = Run(conf);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 1) << r.stderr_text;
  EXPECT_NE(r.stderr_text.find("korvel: error 102040: フォントを作成できませんでした。"),
            std::string::npos)
      << r.stderr_text;
}

}  // namespace
}  // namespace korvel
