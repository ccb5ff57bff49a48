// The popup menu: command 49's request, headless choice and cancel, placement on the screen and
// the pixels the engine draws.
#include <string>

#include "commands/menu_draw.h"
#include "commands/menu_test_env.h"
#include "commands/popup_menu.h"
#include "platform/fonts.h"
#include "platform/headless/headless_api.h"

namespace korvel::test {
namespace {

class PopupMenu : public MenuEnv {
 protected:
  void SetUp() override {
    MenuEnv::SetUp();
    ASSERT_EQ(Item("pop", "pop", 1), 0);
    ASSERT_EQ(Item("pop/open", "Open", 1, {{6, 101}}), 0);
    ASSERT_EQ(Item("pop/sep", "", 2), 0);
    ASSERT_EQ(Item("pop/grey", "Grey", 3, {{6, 102}, {4, 0}}), 0);
    ASSERT_EQ(Item("pop/more", "More", 4), 0);
    ASSERT_EQ(Item("pop/more/deep", "Deep", 1, {{6, 0x70067}}), 0);
  }
  static void Request(const char* path, int64_t flag = 1) {
    SetArgs({{0, 0, path}, {1, flag}});
    ASSERT_EQ(RunPopupMenuCommand(), 0);
  }
  static void Answer(const char* line) {
    std::string error;
    ASSERT_TRUE(platform::QueueHeadlessAnswer(line, &error)) << error;
  }
};

TEST_F(PopupMenu, RequestStoresTheCursorsScreenPosition) {
  // Window 0's client area is somewhere else on the screen: the stored point is still the
  // cursor's own screen position, which is where the frame step shows the menu.
  platform::SetWindowPosition(g_windows[0]->handle, 300, 200);
  platform::SetCursorPos(350, 260);
  Request("pop");
  EXPECT_EQ(g_frame.popup_menu_request, kMenuSetPopup);
  EXPECT_EQ(g_frame.popup_x, 350);
  EXPECT_EQ(g_frame.popup_y, 260);
  EXPECT_EQ(DumpMenuSet(kMenuSetPopup),
            "menu 0\n"
            "  \"MENUSET\" -> menu 1\n"
            "    \"Open\" id=101\n"
            "    ----\n"
            "    \"Grey\" id=102 greyed\n"
            "    \"More\" -> menu 2\n"
            "      \"Deep\" id=458855\n");
}

TEST_F(PopupMenu, RequestNeedsFlagOneAndAKnownNode) {
  Request("pop", 0);
  EXPECT_EQ(g_frame.popup_menu_request, 0);
  Request("nothing/here");
  EXPECT_EQ(g_frame.popup_menu_request, 0);
  EXPECT_EQ(LastCode(), 0);
  // A node without children gives an empty "MENUSET" submenu.
  Request("pop/open");
  EXPECT_EQ(g_frame.popup_menu_request, kMenuSetPopup);
  EXPECT_EQ(DumpMenuSet(kMenuSetPopup), "menu 0\n  \"MENUSET\" -> menu 1\n");
}

TEST_F(PopupMenu, HeadlessAnswersChooseOrCancel) {
  struct Case {
    const char* answer;
    uint64_t want;
  };
  const Case cases[] = {
      {"menu:101", 101},  // a plain item
      {"menu:103", 103},  // an item of a submenu, by the low 16 bits of its identifier
      {"menu:0", 0},      // cancel
      {"menu:102", 0},    // greyed items cannot be chosen
      {"menu:555", 0},    // nor items the menu does not have
  };
  Request("pop");
  for (const Case& c : cases) {
    Answer(c.answer);
    testing::internal::CaptureStderr();
    EXPECT_EQ(ShowPopupMenuSet(kMenuSetPopup, 10, 20), c.want) << c.answer;
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("korvel: dialog: menu | at 10,20: [Open=101] [-] [Grey=102] [More]"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("| menu:" + std::to_string(c.want)), std::string::npos) << log;
  }
  EXPECT_EQ(platform::HeadlessAbortStatus(), 0);
}

TEST_F(PopupMenu, NoAnswerLeftEndsTheHeadlessRun) {
  Request("pop");
  testing::internal::CaptureStderr();
  EXPECT_EQ(ShowPopupMenuSet(kMenuSetPopup, 0, 0), 0u);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(platform::HeadlessAbortStatus(), 2);
}

TEST_F(PopupMenu, PlacementFlipsAndStaysOnTheWorkArea) {
  const platform::Rect area{0, 0, 1000, 800};
  struct Case {
    int32_t x, y, w, h;
    MenuBox want;
  };
  const Case cases[] = {
      {100, 100, 120, 90, {100, 100, 220, 190}},   // fits right of and below the point
      {950, 100, 120, 90, {830, 100, 950, 190}},   // flipped to the left
      {100, 780, 120, 90, {100, 690, 220, 780}},   // flipped above
      {50, 780, 120, 900, {50, 0, 170, 900}},      // too tall for either side: from the top
      {-40, -10, 120, 90, {0, 0, 120, 90}},        // a point off the area
  };
  for (const Case& c : cases) {
    const MenuBox got = PlacePopupMenu(c.x, c.y, c.w, c.h, area);
    EXPECT_EQ(got.left, c.want.left) << c.x << "," << c.y;
    EXPECT_EQ(got.top, c.want.top) << c.x << "," << c.y;
    EXPECT_EQ(got.right, c.want.right) << c.x << "," << c.y;
    EXPECT_EQ(got.bottom, c.want.bottom) << c.x << "," << c.y;
  }
}

TEST_F(PopupMenu, DrawnPopupHighlightsTheHotItemAndGreysText) {
  ASSERT_TRUE(OpenMenuFont());
  Request("pop");
  const Menu& menu = *MenuAt(kMenuSetPopup, PopupMenuOf(kMenuSetPopup));
  const MenuLayout layout = LayoutPopupMenu(menu);
  ASSERT_EQ(layout.items.size(), 4u);
  EXPECT_EQ(layout.height, 2 * kMenuPopupBorder + 3 * kMenuItemHeight + kMenuSeparatorHeight);
  std::vector<uint8_t> pixels(static_cast<size_t>(layout.width) * layout.height * 4, 0);
  const MenuCanvas canvas{pixels.data(), layout.width, layout.height, layout.width * 4};
  DrawPopupMenu(menu, layout, 0, canvas);
  const auto rgb = [&](int32_t x, int32_t y) {
    const uint8_t* p = pixels.data() + (static_cast<size_t>(y) * layout.width + x) * 4;
    return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
  };
  // Count the ink of each item's text row.
  const auto ink = [&](int32_t item, uint32_t colour) {
    int32_t n = 0;
    const MenuBox& b = layout.items[static_cast<size_t>(item)];
    for (int32_t y = b.top; y < b.bottom; ++y) {
      for (int32_t x = b.left; x < b.right; ++x) n += rgb(x, y) == colour;
    }
    return n;
  };
  EXPECT_EQ(rgb(0, 0), 0x979797u);                    // frame
  EXPECT_EQ(rgb(layout.items[0].left, layout.items[0].top), 0x3399FFu);  // hot background
  EXPECT_GT(ink(0, 0xFFFFFF), 10);                   // hot text in white
  EXPECT_GT(ink(2, 0x6D6D6D), 10);                   // greyed text
  EXPECT_EQ(MenuEntryAt(layout, layout.items[3].left + 1, layout.items[3].top + 1), 3);
  EXPECT_EQ(MenuEntryAt(layout, 0, 0), -1);
  CloseMenuFont();
  platform::ShutdownPlatformFonts();
}

}  // namespace
}  // namespace korvel::test
