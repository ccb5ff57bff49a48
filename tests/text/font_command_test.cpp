// Commands 21 and 22 in compiled games run in process: operators and caps, slot 0 mirrored into the
// message record, slot and index errors, and the queries.
#include "text/font_commands.h"

#include <gtest/gtest.h>

#include "font_test_env.h"
#include "script/sysvar_game_env.h"
#include "text/message_text_state.h"

namespace korvel {
namespace {

class FontCommandTest : public test::CommandGameTest {
 protected:
  void SetUp() override {
    test::CommandGameTest::SetUp();
    ASSERT_FALSE(test::UseIpaFontsOnly().empty());
    ASSERT_EQ(EnumerateFonts(), 0);
    ASSERT_EQ(CreateMessageTextState(), 0);
    RegisterFontCommandHandlers();
  }
  void TearDown() override {
    FreeMessageTextState();
    FreeFonts();
    test::CommandGameTest::TearDown();
  }
  // Runs `body` (between the declarations and QUIT); true when it quit without a report.
  static bool Run(const std::string& body) {
    g_engine.quit_flag.store(0);
    Load(".global int out\n.global string name\nlabel SYSTEM_START\n" + body + "QUIT\n");
    return RunToQuit();
  }
};

TEST_F(FontCommandTest, WidthOperatorsAndCaps) {
  const struct {
    const char* body;
    int32_t width;
  } cases[] = {
      {"FONT 9=( 300 )\n", 300},           // = stores as given
      {"FONT 9@1=( 300 )\n", 256},         // += caps
      {"FONT 9@1=( 5 )\n", 25},            // left operand: the message record's 20
      {"FONT 9@2=( 30 )\n", 0},            // -= stores 0 below 0
      {"FONT 9@3=( 100 )\n", 256},         // *= caps
      {"FONT 9@3=( -1 )\n", 0},            // *= stores 0 when negative
      {"FONT 9@4=( 3 )\n", 6},             // /=
      {"FONT 9@4=( 0 )\n", 20},            // /= 0 keeps
      {"FONT 9=( 300 )\nFONT 9@1=( 1 )\n", 256},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(CreateMessageTextState(), 0);  // fresh record: width 20
    EnumerateFonts();
    ASSERT_TRUE(Run(c.body)) << c.body << LastErrorReport().message;
    EXPECT_EQ(g_message->advance, c.width) << c.body;
    EXPECT_EQ(g_fonts.styles[0].width, c.width) << c.body;
    FreeMessageTextState();
  }
}

TEST_F(FontCommandTest, SlotZeroIsTheMessageStyle) {
  ASSERT_TRUE(Run("FONT 0=( 3 ) 4=( 1193046 ) 10=( 30 ) 11=( 1 )\n"));
  EXPECT_EQ(g_fonts.styles[3].colour, 0x123456u);
  EXPECT_EQ(g_fonts.styles[3].height, 30);
  EXPECT_EQ(g_fonts.styles[3].bold, 1u);
  EXPECT_EQ(g_message->colour, 0xFFFFFFu);
  EXPECT_EQ(g_message->line_height, 20);
  EXPECT_EQ(g_fonts.current_slot, 0u);  // slot 0 current again
  ASSERT_TRUE(Run("FONT 4=( 1193046 ) 5@1=( 16777216 ) 6=( 5 ) 7=( 2 ) 8=( 1 ) 3=( 0 )\n"));
  EXPECT_EQ(g_fonts.styles[0].colour, 0x123456u);
  EXPECT_EQ(g_message->colour, 0x123456u);
  EXPECT_EQ(g_message->second_colour, 0xFFFFFFu);  // none (0xFFFFFFFF) + anything caps
  EXPECT_EQ(g_message->gradient_direction, 5);
  EXPECT_EQ(g_message->rotation, 2);
  EXPECT_EQ(g_message->blend, 1);
  EXPECT_EQ(g_message->smooth, 0);
  EXPECT_EQ(g_fonts.styles[0].smooth, 0);
  // += on slot 3 starts from the message record's value, not slot 3's.
  ASSERT_TRUE(Run("FONT 0=( 3 ) 10@1=( 1 )\n"));
  EXPECT_EQ(g_fonts.styles[3].height, 21);
}

TEST_F(FontCommandTest, FacesByIndexAndName) {
  const uint32_t mincho = static_cast<uint32_t>(FindFontByName(Sjis("IPA明朝").c_str()));
  ASSERT_TRUE(Run("FONT 0=( 2 ) 2=( \"ＭＳ 明朝\" )\nFONT 1=( 1 )\n"));
  EXPECT_EQ(g_fonts.slot_fonts[2], mincho);
  EXPECT_EQ(g_fonts.slot_fonts[0], 0u);
  ASSERT_TRUE(Run("FONT 0=( 2 ) 2=( \"Missing Face\" )\n"));
  EXPECT_EQ(g_fonts.slot_fonts[2], mincho);
}

TEST_F(FontCommandTest, SlotAndIndexErrors) {
  const struct {
    const char* body;
    int32_t code;
  } cases[] = {
      {"FONT 0=( 8 ) 4=( 0 )\n", 101000},
      {"FONT 0=( -1 )\n", 101000},
      {"FONT 1=( 0 )\n", 101010},
      {"FONT 1=( 5 )\n", 101240},  // four IPA families
      {"FONTINFO 0=( 5 ) 1=( 1 ) 18=( $out )\n", 101240},
      {"FONTINFO 0=( 0 ) 13=( 1 ) 18=( $out )\n", 101010},
  };
  for (const auto& c : cases) {
    ResetReports();
    EXPECT_FALSE(Run(c.body)) << c.body;
    EXPECT_EQ(LastCode(), c.code) << c.body;
    EXPECT_EQ(g_fonts.current_slot, 0u);
    EXPECT_EQ(g_fonts.styles[0].colour, 0xFFFFFFu);
  }
}

TEST_F(FontCommandTest, Queries) {
  const int32_t gothic = FindFontByName(Sjis("IPAGothic").c_str());
  const struct {
    const char* body;
    int64_t value;
  } cases[] = {
      {"FONTINFO 2=( 1 ) 18=( $out )\n", 1},
      {"FONTINFO 3=( 1 ) 18=( $out )\n", 0xFFFFFF},
      {"FONTINFO 4=( 1 ) 18=( $out )\n", 0xFFFFFFFF},
      {"FONTINFO 5=( 1 ) 18=( $out )\n", 1},
      {"FONTINFO 11=( 1 ) 18=( $out )\n", 4},
      {"FONTINFO 13=( 1 ) 18=( $out )\n", 0},
      {"FONTINFO 14=( 1 ) 17=( \"あい\" ) 18=( $out )\n", 20},
      {"FONTINFO 14=( 1 ) 17=( \"A\" ) 18=( $out )\n", 10},
      {"FONTINFO 15=( 1 ) 17=( \"A\" ) 18=( $out )\n", 20},
      {"FONTINFO 18=( $out )\n", 0},
      {"FONT 9=( 32 )\nFONTINFO 8=( 1 ) 18=( $out )\n", 32},  // last: the width stays
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Run(c.body)) << c.body << LastErrorReport().message;
    EXPECT_EQ(Int(Var(0)), c.value) << c.body;
  }
  ASSERT_TRUE(Run("FONTINFO 1=( 1 ) 18=( $name )\n"));  // default: the current slot's font
  EXPECT_EQ(Text(Var(1)), GetFontName(static_cast<uint32_t>(gothic)));
  ASSERT_TRUE(Run("FONTINFO 0=( 1 ) 1=( 1 ) 18=( $name )\n"));
  EXPECT_EQ(Text(Var(1)), GetFontName(0));
}

}  // namespace
}  // namespace korvel
