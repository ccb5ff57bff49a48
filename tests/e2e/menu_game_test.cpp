// A compiled game builds a menu and asks for a popup: headless, the answer file chooses from it.
#include <gtest/gtest.h>

#include <string>

#include "engine_fixture.h"

namespace korvel {
namespace {

constexpr char kPopupGame[] =
    ".config width 160\n"
    ".config height 64\n"
    ".config show 1\n"
    "label SYSTEM_START\n"
    "MENUITEM 0=( \"p\" ) 1=( \"p\" ) 2=( 1 )\n"
    "MENUITEM 0=( \"p/b\" ) 1=( \"Beta\" ) 2=( 2 ) 6=( 102 )\n"
    "MENUITEM 0=( \"p/a\" ) 1=( \"Alpha\" ) 2=( 1 ) 6=( 101 )\n"
    "MENUITEM 0=( \"p/gone\" ) 1=( \"Gone\" ) 2=( 3 ) 6=( 103 )\n"
    "MENUDELETE 0=( \"p/gone\" )\n"
    "WAIT 0=( 3 )\n"
    "POPUP 0=( \"p\" ) 1=( 1 )\n"
    "WAIT 0=( 3 )\n"
    "POPUP 0=( \"p\" ) 1=( 1 )\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

constexpr char kBarGame[] =
    ".config width 160\n"
    ".config height 64\n"
    ".config show 1\n"
    "label SYSTEM_START\n"
    "MENUITEM 0=( \"bar\" ) 1=( \"bar\" ) 2=( 1 )\n"
    "MENUITEM 0=( \"bar/file\" ) 1=( \"File\" ) 2=( 1 )\n"
    "MENUITEM 0=( \"bar/file/open\" ) 1=( \"Open\" ) 2=( 1 ) 6=( 201 )\n"
    "MENUITEM 0=( \"bar/go\" ) 1=( \"Go\" ) 2=( 2 ) 6=( 204 )\n"
    "WINDOW 0=( 0 ) 22=( \"bar\" )\n"
    "loop -1\n"
    "  WAIT 0=( 1 )\n"
    "end\n";

class MenuGameTest : public test::GameFolderTest {
 protected:
  void SetUp() override { BuildGame({{"main.kas", kPopupGame}}); }
  test::TempDir control_;
};

TEST_F(MenuGameTest, PopupsTakeTheirChoicesFromTheAnswerFile) {
  const std::string answers = control_.Write("answers", "menu:102\nmenu:0\n");
  const test::ProcessResult r = test::RunProcess(
      Args(), HeadlessEnv({"KORVEL_FRAMES=20", "KORVEL_ANSWERS=" + answers}), 60000);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  const std::string menu = " [Alpha=101] [Beta=102] | menu:";
  const size_t first = r.stderr_text.find(menu + "102");
  const size_t second = r.stderr_text.find(menu + "0");
  EXPECT_NE(first, std::string::npos) << r.stderr_text;
  EXPECT_NE(second, std::string::npos) << r.stderr_text;
  EXPECT_LT(first, second) << r.stderr_text;
  EXPECT_EQ(r.stderr_text.find("korvel: error"), std::string::npos) << r.stderr_text;
}

TEST_F(MenuGameTest, PopupWithoutAnAnswerEndsTheRunWithStatusTwo) {
  const test::ProcessResult r =
      test::RunProcess(Args(), HeadlessEnv({"KORVEL_FRAMES=20"}), 60000);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.exit_status, 2) << r.stderr_text;
}

TEST_F(MenuGameTest, InputLinesChooseFromTheBar) {
  BuildGame({{"main.kas", kBarGame}});
  const std::string input = control_.Write("input", "5 menu 201\n6 menu 77\n7 menu 204\n");
  const test::ProcessResult r = test::RunProcess(
      Args(), HeadlessEnv({"KORVEL_FRAMES=12", "KORVEL_INPUT=" + input}), 60000);
  ASSERT_FALSE(r.timed_out);
  ASSERT_EQ(r.exit_status, 0) << r.stderr_text;
  const std::string bar = "korvel: dialog: menu bar | [File] [Go] | menu:";
  const size_t open = r.stderr_text.find(bar + "201");
  const size_t refused = r.stderr_text.find(bar + "0");
  const size_t go = r.stderr_text.find(bar + "204");
  ASSERT_NE(open, std::string::npos) << r.stderr_text;
  ASSERT_NE(refused, std::string::npos) << r.stderr_text;
  ASSERT_NE(go, std::string::npos) << r.stderr_text;
  EXPECT_LT(open, refused);
  EXPECT_LT(refused, go);
}

}  // namespace
}  // namespace korvel
