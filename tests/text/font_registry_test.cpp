// The font registry over the IPA fonts only (fonts.conf made by the test), and the default faces
// over hand-made family lists.
#include "text/font_registry.h"

#include <gtest/gtest.h>

#include "font_test_env.h"

namespace korvel {
namespace {

using test::IpaFontTest;

TEST_F(IpaFontTest, OneEntryPerFamilyNamedInJapanese) {
  // IPAGothic lies in two files (the IPA folder and a copy) and counts once.
  ASSERT_EQ(GetFontCount(), 4);
  const struct {
    const char* any_name;
    const char* japanese;
    uint8_t pitch;
  } families[] = {
      {"IPAGothic", "IPAゴシック", 0},
      {"IPAPGothic", "IPA Pゴシック", 1},
      {"IPAMincho", "IPA明朝", 0},
      {"IPAPMincho", "IPA P明朝", 1},
  };
  for (const auto& f : families) {
    const int32_t index = IndexOf(f.any_name);
    ASSERT_GE(index, 0) << f.any_name;
    EXPECT_EQ(IndexOf(f.japanese), index) << f.any_name;
    EXPECT_STREQ(GetFontName(static_cast<uint32_t>(index)), Sjis(f.japanese).c_str());
    EXPECT_EQ(GetFontScriptFlag(static_cast<uint32_t>(index)), 0) << f.any_name;
    EXPECT_EQ(g_fonts.pitch_flags[static_cast<size_t>(index)], f.pitch) << f.any_name;
  }
  EXPECT_EQ(IndexOf("ＭＳ ゴシック"), IndexOf("IPAGothic"));
  EXPECT_EQ(IndexOf("標準ゴシック"), IndexOf("IPAGothic"));
  EXPECT_EQ(IndexOf("ＭＳ Ｐゴシック"), IndexOf("IPAPGothic"));
  EXPECT_EQ(IndexOf("ＭＳ 明朝"), IndexOf("IPAMincho"));
  EXPECT_EQ(IndexOf("標準明朝"), IndexOf("IPAMincho"));
  EXPECT_EQ(IndexOf("Arial"), -1);
  EXPECT_EQ(IndexOf("ipagothic"), -1);  // names match exactly
  EXPECT_EQ(GetFontName(4), nullptr);
  for (uint32_t slot = 0; slot < kFontSlotCount; ++slot) {
    EXPECT_EQ(g_fonts.slot_fonts[slot], static_cast<uint32_t>(IndexOf("IPAGothic"))) << slot;
  }
  EXPECT_EQ(g_fonts.current_slot, 0u);
}

TEST_F(IpaFontTest, SlotAccessorsKeepTheSlotOnFailure) {
  ASSERT_TRUE(SetFontSlot(5));
  EXPECT_FALSE(SetFontSlot(8));
  EXPECT_FALSE(SetFontSlot(-1));
  EXPECT_EQ(g_fonts.current_slot, 5u);
  EXPECT_EQ(SetSlotFont(4), 0);
  EXPECT_EQ(SelectSlotFontByName(Sjis("ＭＳ 明朝").c_str()), 1);
  EXPECT_STREQ(GetSlotFontName(), Sjis("IPA明朝").c_str());
  EXPECT_EQ(SelectSlotFontByName("Nothing"), 0);
  EXPECT_STREQ(GetSlotFontName(), Sjis("IPA明朝").c_str());
  EXPECT_EQ(SetSlotFont(0), 1);
  EXPECT_EQ(GetSlotFontIndex(), 0u);
  SetFontSlot(0);
}

// Default faces over family lists without the IPA fonts' full set.
TEST(FontDefaults, FirstAvailableDefaultFaceElseTheFirstFamily) {
  const auto family = [](const char* name) {
    return FontFamilyEntry{name, {name}, true, false};
  };
  const struct {
    std::vector<FontFamilyEntry> families;
    uint32_t slot_font;
  } cases[] = {
      {{family("DejaVu Sans"), family("IPAMincho"), family("IPAPGothic")}, 2},  // P gothic first
      {{family("DejaVu Sans"), family("IPAMincho")}, 1},
      {{family("DejaVu Sans"), family("Liberation Serif")}, 0},  // none: the first family
      {{family("ＭＳ ゴシック"), family("IPAGothic")}, 0},  // the face itself before its stand-in
  };
  for (const auto& c : cases) {
    FillFontRegistry(c.families);
    for (uint32_t slot = 0; slot < kFontSlotCount; ++slot) EXPECT_EQ(g_fonts.slot_fonts[slot], c.slot_font);
    EXPECT_EQ(g_fonts.styles[3].width, 20);
    EXPECT_EQ(g_fonts.styles[3].direction, 1);
  }
  FreeFonts();
}

}  // namespace
}  // namespace korvel
