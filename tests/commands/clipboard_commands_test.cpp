// Commands 5 and 6: what a read keeps of the clipboard's text, and the round trip through the
// headless clipboard (a read with no text fails and leaves the clipboard usable).
#include <gtest/gtest.h>

#include <string>

#include "command_args.h"
#include "commands/clipboard_commands.h"
#include "engine_fixture.h"
#include "platform/clipboard.h"
#include "script/variables.h"

namespace korvel {
namespace {

TEST(ClipboardFilterTest, Table) {
  const std::string a1023(1023, 'a');
  const struct {
    const char* name;
    std::string text, kept;
  } cases[] = {
      {"tab and line break between letters", "ab\tc\r\nd", "abcd"},
      {"every control byte", std::string("\x01x\x1fy\x00z", 6), "xyz"},
      {"DEL and half-width kana stay", "\x7f\xb1", "\x7f\xb1"},
      {"1025 bytes", std::string(1025, 'b'), std::string(1024, 'b')},
      {"a pair at byte 1024", a1023 + "\x82\xa0", a1023},
      {"a pair ending at byte 1024", a1023.substr(1) + "\x82\xa0", a1023.substr(1) + "\x82\xa0"},
      {"trail byte that looks like a backslash", "\x95\x5c", "\x95\x5c"},
      {"lead byte at the end", "x\x82", "x"},
      {"lead byte before a line break", "x\x82\ny", "xy"},
      {"empty", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(FilterClipboardText(c.text), c.kept) << c.name;
}

class ClipboardCommandTest : public test::HeadlessEngine {
 protected:
  void SetUp() override {
    HeadlessEngine::SetUp();
    ASSERT_EQ(CreateVariableRecords(1100), 0);
    const uint32_t two[] = {2};
    ASSERT_EQ(FillVarStringInit(kStr, 1, two, "old"), 0);
  }
  void TearDown() override {
    test::ResetCommandArgs();
    FreeVariableRecords();
    HeadlessEngine::TearDown();
  }
  static constexpr uint32_t kStr = 1000;
};

TEST_F(ClipboardCommandTest, SetAndGet) {
  // Nothing on the clipboard yet: the read fails and changes nothing, and the next one works.
  test::CommandArgs().Value(0, 0).Ref(1, kStr, 1);
  EXPECT_EQ(RunClipboardGetCommand(), -1);
  EXPECT_EQ(std::string(GetVarStringElement(kStr, 1)), "old");

  // Index 0 missing: nothing is set.
  test::CommandArgs().Text(1, "ignored");
  EXPECT_EQ(RunClipboardSetCommand(), 0);
  std::string text;
  EXPECT_FALSE(platform::GetClipboardText(&text));

  test::CommandArgs().Value(0, 0).Text(1, "\x93\xfa\x96\x7b\tgo\r\n!");
  EXPECT_EQ(RunClipboardSetCommand(), 0);
  ASSERT_TRUE(platform::GetClipboardText(&text));
  EXPECT_EQ(text, "\x93\xfa\x96\x7b\tgo\r\n!");
  test::CommandArgs().Value(0, 0).Ref(1, kStr, 1);
  EXPECT_EQ(RunClipboardGetCommand(), 0);
  EXPECT_EQ(std::string(GetVarStringElement(kStr, 1)), "\x93\xfa\x96\x7bgo!");
  EXPECT_EQ(std::string(GetVarStringElement(kStr, 0)), "old");
}

}  // namespace
}  // namespace korvel
