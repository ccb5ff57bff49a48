// The menu tree as commands 48, 50 and 51 edit it, and the menus built from it.
#include <string>

#include "commands/menu_test_env.h"
#include "script/value_ops.h"

namespace korvel::test {
namespace {

using MenuModel = MenuEnv;

TEST_F(MenuModel, FixtureTreeDumpsSeparatorsGreyedCheckedAbsentAndOrder) {
  ASSERT_EQ(Item("bar", "bar", 1), 0);
  ASSERT_EQ(Item("bar/file", "ファイル", 10), 0);
  ASSERT_EQ(Item("bar/file/open", "開く", 2, {{6, 101}}), 0);
  ASSERT_EQ(Item("bar/file/sep", "", 3), 0);
  ASSERT_EQ(Item("bar/file/quit", "Quit", 4, {{6, 102}, {5, 1}}), 0);
  ASSERT_EQ(Item("bar/file/new", "New", 1, {{6, 100}, {4, 0}}), 0);
  ASSERT_EQ(Item("bar/file/hidden", "Hidden", 5, {{3, 0}}), 0);
  ASSERT_EQ(Item("bar/help", "Help", 5, {{6, 0x12345678}}), 0);
  ASSERT_EQ(Item("bar/help/about", "About", 1, {{6, 0x1FFFF0007}}), 0);
  ASSERT_EQ(Item("bar/top", "Top", 20, {{6, 7}}), 0);
  EXPECT_EQ(BuildDump("bar"),
            "menu 0\n"
            "  \"Help\" -> menu 1\n"
            "    \"About\" id=4294901767\n"
            "  \"ファイル\" -> menu 2\n"
            "    \"New\" id=100 greyed\n"
            "    \"開く\" id=101\n"
            "    ----\n"
            "    \"Quit\" id=102 checked\n"
            "  \"Top\" id=7\n");
  // The window system's command carries the identifier's low 16 bits.
  EXPECT_EQ(MenuAt(kMenuSetBar, 1)->entries[0].id & 0xFFFF, 7u);
}

TEST_F(MenuModel, OrderKeyOperatorsKeepAtLeastOne) {
  struct Case {
    uint8_t op;
    int64_t operand;
    int64_t want;
  };
  const Case cases[] = {
      {kValueSet, 7, 7},       {kValueAdd, 3, 13},     {kValueSubtract, 4, 6},
      {kValueSubtract, 50, 1}, {kValueMultiply, 0, 1}, {kValueMultiply, 2, 20},
      {kValueDivide, 0, 10},   {kValueDivide, 4, 2},   {kValueDivide, 20, 1},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Item("a", "a", 10), 0);
    SetArgs({{0, 0, "a"}, {2, c.operand, nullptr, c.op}});
    ASSERT_EQ(RunMenuItemCommand(), 0);
    EXPECT_EQ(Node("a")->order_key, c.want) << int(c.op) << " " << c.operand;
    SetArgs({{0, 0, "a"}, {2, 10}});
    ASSERT_EQ(RunMenuItemCommand(), 0);
  }
  // A new item starts from 1: -= gives at least 1, += adds to 1.
  SetArgs({{0, 0, "b"}, {1, 0, "b"}, {2, 5, nullptr, kValueAdd}});
  ASSERT_EQ(RunMenuItemCommand(), 0);
  EXPECT_EQ(Node("b")->order_key, 6);
  // Moving by key reorders the siblings.
  ASSERT_EQ(Item("c", "c", 8), 0);
  ASSERT_EQ(Item("b", nullptr, 100), 0);
  EXPECT_EQ(std::string(Node("c")->parent->last_child->name), "b");
  EXPECT_EQ(Node("c")->next_sibling, Node("a"));
}

TEST_F(MenuModel, NewItemErrorsAndQuietMisses) {
  EXPECT_EQ(Item("x", nullptr, 1), -1);
  EXPECT_EQ(LastCode(), 100260);
  InitErrorReporting();
  EXPECT_EQ(Item("x", "x", 0), -1);
  EXPECT_EQ(LastCode(), 100240);
  InitErrorReporting();
  // A missing parent is quiet, never the lookup's 100230.
  EXPECT_EQ(Item("nope/x", "x", 1), -1);
  EXPECT_EQ(LastCode(), 0);
  EXPECT_EQ(Node("nope/x"), nullptr);
  // Nodes made by the command are groups.
  ASSERT_EQ(Item("g", "g", 1), 0);
  EXPECT_EQ(Node("g")->kind, kNodeGroup);
  EXPECT_NE(Node("g")->hash & kGroupHashBit, 0u);
}

TEST_F(MenuModel, TextsAreCutOnACharacterBoundary) {
  // 259 ASCII bytes then a double-byte character: the character would end at byte 261.
  std::string text(259, 'a');
  text += "\x82\xa0";
  ASSERT_EQ(Item("t", text.c_str(), 1), 0);
  EXPECT_EQ(std::string(ItemAt("t")->text), std::string(259, 'a'));
  std::string longer(258, 'b');
  longer += "\x82\xa0" "ccc";
  ASSERT_EQ(Item("t", longer.c_str(), 1), 0);
  EXPECT_EQ(std::string(ItemAt("t")->text).size(), 260u);
  EXPECT_EQ(std::string(ItemAt("t")->text).substr(258), "\x82\xa0");
}

TEST_F(MenuModel, DeleteGroupTakesTheSubtreeAndLeafKeepsSiblings) {
  ASSERT_EQ(Item("m", "m", 1), 0);
  ASSERT_EQ(Item("m/a", "a", 1), 0);
  ASSERT_EQ(Item("m/a/x", "x", 1), 0);
  ASSERT_EQ(Item("m/b", "b", 2), 0);
  SetArgs({{0, 0, "m/b"}});
  ASSERT_EQ(RunMenuDeleteCommand(), 0);
  EXPECT_EQ(Node("m/b"), nullptr);
  EXPECT_NE(Node("m/a/x"), nullptr);
  SetArgs({{0, 0, "m/"}});
  ASSERT_EQ(RunMenuDeleteCommand(), 0);
  EXPECT_EQ(Node("m"), nullptr);
  EXPECT_EQ(g_menu_tree.root->first_child->child_count, 0u);
  // Unknown nodes do nothing.
  SetArgs({{0, 0, "m/"}});
  EXPECT_EQ(RunMenuDeleteCommand(), 0);
  SetArgs({{0, 0, "zz/q"}});
  EXPECT_EQ(RunMenuDeleteCommand(), 0);
  EXPECT_EQ(LastCode(), 0);
}

TEST_F(MenuModel, InfoAnswersTheFirstKeywordInItsOrder) {
  ASSERT_EQ(Item("i", "Item", 9, {{3, 1}, {4, 0}, {5, 1}, {6, 4242}}), 0);
  uint32_t dims[1] = {2};
  ASSERT_EQ(FillVarIntInit(1000, 1, dims, -5), 0);
  ASSERT_EQ(FillVarRealInit(1001, 1, dims, -5.0), 0);
  ASSERT_EQ(FillVarStringInit(1002, 1, dims, "old"), 0);
  struct Case {
    std::vector<uint8_t> keywords;
    int64_t want;
  };
  const Case cases[] = {
      {{2, 4, 3}, 1}, {{2, 8, 7, 4, 6, 5}, 1}, {{8, 7, 4, 6}, 0},
      {{8, 7, 4}, 9}, {{8, 7}, 1},             {{8}, 4242},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(Info(1000, "i", c.keywords), 0);
    EXPECT_EQ(GetVarIntElement(1000, 0), c.want) << c.keywords.size();
    ASSERT_EQ(Info(1001, "i", c.keywords), 0);
    EXPECT_EQ(GetVarRealElement(1001, 0), static_cast<double>(c.want));
  }
  ASSERT_EQ(Info(1002, "i", {2}), 0);
  EXPECT_STREQ(GetVarStringElement(1002, 0), "Item");
  // A missing node answers 0 or the empty text.
  ASSERT_EQ(Info(1000, "none", {3}), 0);
  EXPECT_EQ(GetVarIntElement(1000, 0), 0);
  ASSERT_EQ(Info(1002, "none/deeper", {2}), 0);
  EXPECT_STREQ(GetVarStringElement(1002, 0), "");
  EXPECT_EQ(LastCode(), 0);
  // An element outside the variable is left alone.
  SetArgs({{0}, {1, 0, "i"}, {8}});
  g_args.at[1].var_number = 1000;
  g_args.at[1].element_index = 2;
  ASSERT_EQ(RunMenuInfoCommand(), 0);
  EXPECT_EQ(GetVarIntElement(1000, 1), -5);
  // A number into a string variable is 101140.
  EXPECT_EQ(Info(1002, "i", {8}), -1);
  EXPECT_EQ(LastCode(), 101140);
  InitErrorReporting();
  EXPECT_EQ(Info(1000, "i", {2}), -1);
  EXPECT_EQ(LastCode(), 101140);
}

TEST_F(MenuModel, HundredTwentySevenMenusBuildAndTheNextIsRefused) {
  // A chain of popups: each level one submenu holding the next level and an item.
  std::string path = "deep";
  ASSERT_EQ(Item(path.c_str(), "d", 1), 0);
  for (int level = 0; level < 127; ++level) {
    path += "/s";
    ASSERT_EQ(Item(path.c_str(), "s", 1), 0);
    ASSERT_EQ(Item((path + "/leaf").c_str(), "leaf", 2, {{6, level}}), 0);
  }
  // deep's children: 127 popups "s" (each has children) under the top menu: 128 menus.
  DestroyMenuSet(kMenuSetBar);
  int32_t top = CreateMenuHandle(kMenuSetBar);
  EXPECT_EQ(BuildMenuRecursive(kMenuSetBar, top, Node("deep")), -1);
  // Without the last level's leaf the last "s" is an item: 127 menus.
  const std::string last_leaf = path + "/leaf";
  SetArgs({{0, 0, last_leaf.c_str()}});
  ASSERT_EQ(RunMenuDeleteCommand(), 0);
  DestroyMenuSet(kMenuSetBar);
  top = CreateMenuHandle(kMenuSetBar);
  EXPECT_EQ(BuildMenuRecursive(kMenuSetBar, top, Node("deep")), 0);
  EXPECT_EQ(g_menus.sets[kMenuSetBar].next_handle, 127);
  // Destroying resets the counter; a second destroy is harmless.
  DestroyMenuSet(kMenuSetBar);
  DestroyMenuSet(kMenuSetBar);
  EXPECT_EQ(g_menus.sets[kMenuSetBar].next_handle, 0);
  EXPECT_EQ(MenuAt(kMenuSetBar, 0), nullptr);
}

TEST_F(MenuModel, EachSetOwnsItsHandles) {
  ASSERT_EQ(Item("p", "p", 1), 0);
  ASSERT_EQ(Item("p/a", "A", 1, {{6, 5}}), 0);
  ASSERT_EQ(BuildPopupMenuSet(kMenuSetPopup, Node("p")), 0);
  ASSERT_EQ(BuildPopupMenuSet(kMenuSetTray, Node("p")), 0);
  DestroyMenuSet(kMenuSetPopup);
  EXPECT_EQ(PopupMenuOf(kMenuSetPopup), -1);
  EXPECT_EQ(PopupMenuOf(kMenuSetTray), 1);
  EXPECT_EQ(DumpMenuSet(kMenuSetTray), "menu 0\n  \"MENUSET\" -> menu 1\n    \"A\" id=5\n");
}

}  // namespace
}  // namespace korvel::test
